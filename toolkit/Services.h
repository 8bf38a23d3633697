#pragma once

namespace ostrel {

class MessageBoxService;
class DialogService;
class PrinterService;
class HelpService;
class RegistryStore;
class VolumeService;
class ProcessService;
class PictureLoader;
class JobService;

// The seams to everything that is modal, outside the program or final: the
// program installs the Qt implementations at start-up, tests install doubles,
// so no test ever waits on a dialog or ends the test process.
struct Services {
  MessageBoxService* messageBox = nullptr;
  DialogService* dialogs = nullptr;
  PrinterService* printer = nullptr;
  HelpService* help = nullptr;
  RegistryStore* registry = nullptr;
  VolumeService* volumes = nullptr;
  ProcessService* process = nullptr;
  PictureLoader* pictures = nullptr;
  JobService* jobs = nullptr;
};

// The installed set. Each member is set before the first window loads.
Services& services();
void installServices(const Services& set);

}  // namespace ostrel
