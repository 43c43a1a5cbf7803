// Marks the library's public entries; everything else in libtrel is hidden.
#pragma once

#define TREL_API __attribute__((visibility("default")))
