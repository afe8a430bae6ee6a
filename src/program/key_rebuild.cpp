// SPDX-License-Identifier: GPL-3.0-or-later
#include "program/key_rebuild.h"

#include "collection/collection_check.h"
#include "datafile/record_kinds.h"
#include "program/back_up_first.h"

namespace glimra::program {

std::string disagreementQuestion(const std::string& path, const datafile::FileCheckReport& report,
                                 std::size_t listed) {
  const std::size_t count = report.disagreements.size();
  std::string text = std::string(count == 1 ? "A key entry" : "Key entries") + " of\n" + path + "\n" +
                     (count == 1 ? "disagrees with its record" : "disagree with their records") +
                     ", and which value is right cannot be told:\n\n";
  for (std::size_t i = 0; i < count && i < listed; ++i)
    text += collection::describeDisagreement(report.disagreements[i]) + "\n";
  if (count > listed) text += "and " + std::to_string(count - listed) + " more\n";
  text +=
      "\nRebuilding the keys keeps the values of the records for good; the backup taken first keeps those of "
      "the key entries.\nRebuild the keys from the records?";
  return text;
}

bool readyToRebuildKeys(runtime::Runtime& runtime, datafile::FileSystem& fileSystem, const std::string& path,
                        std::string_view caption) {
  const std::string file = datafile::TableAddress::parse(path, &fileSystem).path;
  if (!fileSystem.exists(file)) return true;
  const datafile::FileCheckReport report = collection::checkCollectionFile(fileSystem, file);
  const collection::KeyRepair repair = collection::keyRepairFor(report);
  if (repair == collection::KeyRepair::AskFirst &&
      runtime.message(runtime::MessageBox{disagreementQuestion(file, report), std::string(caption),
                                          runtime::MessageIcon::Exclamation, runtime::Yes | runtime::No,
                                          runtime::No}) != runtime::Yes)
    return false;
  const bool keysDamaged = repair == collection::KeyRepair::ByItself || repair == collection::KeyRepair::AskFirst;
  return backUpFirst(runtime, fileSystem, file, caption, "Go on without a backup?", nullptr, keysDamaged);
}

}  // namespace glimra::program
