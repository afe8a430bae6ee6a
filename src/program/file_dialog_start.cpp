// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/file_dialog_start.h"

#include <filesystem>
#include <system_error>

namespace glimra::program {

std::string fileDialogStart(const runtime::Runtime& runtime, const std::string& collectionPath,
                            std::string_view name) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path folder = fs::path(collectionPath).parent_path();
  if (collectionPath.empty() || folder.empty() || !fs::is_directory(folder, error))
    folder = fs::path(runtime.documentsFolder());
  if (name.empty()) return folder.string();
  return (folder / fs::path(std::string(name))).string();
}

}  // namespace glimra::program
