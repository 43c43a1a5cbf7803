// Whole files or none, through the image library's temporary file (created exclusively, never
// through a link, synced before it is renamed into place).
#pragma once

#include <filesystem>
#include <string>

namespace trel::tool {

// Throws ToolError: kExitCannotCreate when the temporary cannot be created or renamed,
// kExitIoError when writing or syncing fails; the message names the file and the cause (the
// system's text: "No space left on device", "Permission denied").
void WriteFileAtomically(const std::filesystem::path& file, const std::string& bytes);

}  // namespace trel::tool
