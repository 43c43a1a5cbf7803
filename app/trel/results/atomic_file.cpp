// The image library's temporary file, its failures sorted into the tool's exit statuses.
#include "atomic_file.h"

#include <optional>

#include "tool_error.h"
#include "voxa/exceptions.h"
#include "voxa/temporary_file.h"

namespace trel::tool {

void WriteFileAtomically(const std::filesystem::path& file, const std::string& bytes) {
  std::optional<voxa::TemporaryFile> temporary;
  try {
    temporary.emplace(file.string());
  } catch (const voxa::IOException& e) {
    throw ToolError(kExitCannotCreate, e.what());
  }
  try {
    temporary->Write(bytes);
    temporary->Commit();
  } catch (const voxa::IOException& e) {
    throw ToolError(kExitIoError, e.what());
  }
}

}  // namespace trel::tool
