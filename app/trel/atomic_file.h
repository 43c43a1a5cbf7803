// Whole files or none: a file is written under a new temporary name beside it and renamed into
// place once complete and on disk, so that a reader never sees a partial file under the name.
// The temporary is created exclusively and never through a link: a link planted where the tool
// writes cannot send its bytes to a file elsewhere.
#pragma once

#include <filesystem>
#include <string>

namespace trel::tool {

// Throws ToolError: kExitCannotCreate when the temporary cannot be created or renamed,
// kExitIoError when writing or syncing fails; the message names the file and the cause (the
// system's text: "No space left on device", "Permission denied").
void WriteFileAtomically(const std::filesystem::path& file, const std::string& bytes);

}  // namespace trel::tool
