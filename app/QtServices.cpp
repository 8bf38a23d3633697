#include "app/QtServices.h"

#include "toolkit/App.h"
#include "toolkit/Services.h"
#include "toolkit/controls/VolumeService.h"
#include "toolkit/dialogs/QtDialogService.h"
#include "toolkit/dialogs/QtMessageBoxService.h"
#include "toolkit/forms/ProcessService.h"
#include "toolkit/help/QtHelpService.h"
#include "toolkit/jobs/JobService.h"
#include "toolkit/jobs/ThreadJobRunner.h"
#include "toolkit/picture/PictureLoader.h"
#include "toolkit/printing/QtPrinterService.h"
#include "toolkit/registry/WineRegistryStore.h"

namespace ostrel {

struct QtServices::Impl {
  QtMessageBoxService messageBox;
  QtDialogService dialogs;
  QtPrinterService printer;
  QtVolumeService volumes;
  QtProcessService process;
  QtHelpService help;
  WineRegistryStore registry;
  JobService jobs{std::make_unique<ThreadJobRunner>(), [](const ToolkitError& error) {
                    MsgBox(error.Description(), mb::Exclamation, App().Title);
                  }};
  PictureLoader pictures{jobs};
};

QtServices::QtServices() : impl_(std::make_unique<Impl>()) {}
QtServices::~QtServices() = default;

void QtServices::install() {
  Services set;
  set.messageBox = &impl_->messageBox;
  set.dialogs = &impl_->dialogs;
  set.printer = &impl_->printer;
  set.volumes = &impl_->volumes;
  set.process = &impl_->process;
  set.help = &impl_->help;
  set.registry = &impl_->registry;
  set.pictures = &impl_->pictures;
  set.jobs = &impl_->jobs;
  installServices(set);
}

}  // namespace ostrel
