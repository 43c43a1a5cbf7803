// How many threads a routine may use. It is a setting of each call, never a process-wide
// default: a program that runs several routines at once, or calls the library from threads of
// its own, decides alone how the cores are shared. The result never depends on it.
#pragma once

namespace voxa {

struct Parallelism {
  unsigned threads = 1;  // 1: the calling thread only
};

}  // namespace voxa
