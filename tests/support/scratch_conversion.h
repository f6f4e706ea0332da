// A fresh folder under the system temp folder and conversions that write into
// it: the log goes to that folder's streams.log and the console text is
// collected, so tests run side by side with no change of the current folder
// and nothing process-wide to reset.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "model/conversion.h"

struct ScratchConversion {
  std::filesystem::path path;
  OutputFolder folder;
  LogChannel channel;
  std::string console;
  Conversion conv;

  ScratchConversion() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tamberlo-scratch-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "no scratch folder";
    path = pattern;
    std::string error;
    if (!OpenNamedFolder(folder, path.string(), error)) ADD_FAILURE() << error;
    // As in a run without -out: sub-folders that names ask for must exist.
    folder.createSubfolders = false;
    channel.folderFd = folder.fd;
    channel.console = &console;
    conv.to = Destination{&folder, MessageSink{&channel, nullptr}, false};
  }
  ~ScratchConversion() {
    CloseLogChannel(channel);
    CloseOutputFolder(folder);
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  ScratchConversion(const ScratchConversion&) = delete;
  ScratchConversion& operator=(const ScratchConversion&) = delete;

  // The conversion of these images, with a fresh status.
  // Each conversion opens the log afresh, so a test may remove it in between.
  Conversion& Of(const ModelFile& model, const StripFile& strip) {
    CloseLogChannel(channel);
    channel.logOpenTried = false;
    channel.silenced = false;
    conv.model = model;
    conv.strip = strip;
    conv.to.hadErrors = false;
    conv.to.hadNotes = false;
    conv.names = NameChanges();
    ReadAndPlan(conv, PlanChoice{});
    return conv;
  }
  bool HadErrors() const { return conv.to.hadErrors; }
  bool HadNotes() const { return conv.to.hadNotes; }
  void ResetStatus() { conv.to.hadErrors = conv.to.hadNotes = false; }
};
