// tillmoor: the payment batch service executable.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/Ado.h"
#include "platform/Com.h"
#include "platform/ComApartment.h"
#include "platform/ConsoleControl.h"
#include "platform/EventLog.h"
#include "platform/MessageQueue.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "platform/Threading.h"
#include "runtime/MessageBox.h"
#include "service/CommandLine.h"
#include "service/PaymentBatchWork.h"
#include "service/PlaceholderBatchWork.h"
#include "service/ServiceModule.h"

int main(int argc, char** argv) {
  // First, before any thread exists: SIGINT and SIGTERM are blocked in every thread and taken by one.
  std::unique_ptr<platform::ConsoleControl> console = platform::OpenConsoleControl();

  const std::vector<std::string> arguments(argv + 1, argv + argc);
  std::unique_ptr<platform::Registry> registry = platform::OpenFileRegistry(platform::DefaultRegistryPath());
  std::unique_ptr<platform::ServiceControlManager> serviceManager =
      platform::OpenServiceControlManager(*registry, arguments);
  std::unique_ptr<platform::EventLog> eventLog = platform::OpenSyslogEventLog();
  std::unique_ptr<platform::Threading> threading = platform::OpenThreading();
  std::unique_ptr<platform::Messaging> messaging = platform::OpenMessaging();
  std::unique_ptr<platform::ComApartment> com = platform::OpenComApartment();
  platform::StderrMessageBoxes messageBoxes(std::cerr, "Tillmoor");
  // The order database through ODBC ("DSN=Velmar;UID=WWWapps;PWD=") and the payment component from
  // the same registry the service reads. With TESSERY_DEMO_ORDERS set, the placeholder work stands in
  // for both (tests of the service core that need no database). The cluster guard, when the
  // parameters ask for one, connects through the same data access.
  std::unique_ptr<platform::ado::DataAccess> data = platform::ado::OpenOdbcDataAccess();
  std::unique_ptr<platform::ComponentCreator> components = platform::OpenComponentCreator(*registry);
  std::unique_ptr<tillmoor::BatchWork> work;
  if (std::getenv("TESSERY_DEMO_ORDERS") != nullptr) {
    work = std::make_unique<tillmoor::PlaceholderBatchWork>();
  } else {
    work = std::make_unique<tillmoor::PaymentBatchWork>(*data, *components);
  }

  tillmoor::ServiceModule module(
      tillmoor::ServicePlatform{*registry, *serviceManager, *eventLog, *threading, *messaging, *com, *console,
                                messageBoxes, std::cout, platform::ModuleFileName(), data.get()},
      *work);
  return tillmoor::ExitStatusOf(module.Start(tillmoor::CommandLineOf(arguments)));
}
