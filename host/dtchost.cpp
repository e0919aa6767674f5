// dtchost: the page-editor host. It creates HeaderDTC the way a page editor does, hands it a
// property bag to load or save, and shows what the control holds. Message boxes go to standard
// error, one line each.
//
//   dtchost sample OUT.json   build the sample configuration, save it to OUT.json, print it
//   dtchost show BAG.json     load BAG.json into a new control and print its configuration
//
// Exit status: 0 done; 1 the bag could not be read or written, or the control reported an error
// while loading or saving; 2 usage.
#include <cstring>
#include <iostream>
#include <memory>
#include <string_view>

#include "dtc/ConfigurationDump.h"
#include "dtc/HeaderDTC.h"
#include "host/DemoConfiguration.h"
#include "platform/MessageBox.h"
#include "platform/PropertyBag.h"

namespace {

int Usage() {
  std::cerr << "usage: dtchost sample OUT.json\n"
               "       dtchost show BAG.json\n";
  return 2;
}

int Sample(const char* path) {
  platform::StderrMessageBoxes boxes(std::cerr, "VistelleDTC");
  host::DemoCatalog catalog;
  dtc::HeaderDTC control({.messageBoxes = boxes, .lifecycle = &catalog});
  control.UserControl_InitProperties();
  host::BuildSampleConfiguration(control);

  platform::MemoryPropertyBag bag;
  if (!control.UserControl_WriteProperties(bag)) {
    std::cerr << "dtchost: the control could not save its configuration; " << path << " is left as it was\n";
    return 1;
  }
  try {
    platform::WritePropertyBagFile(path, bag);
  } catch (const platform::Error& e) {
    std::cerr << "dtchost: " << e.Description() << "\n";
    return 1;
  }
  std::cout << dtc::DescribeConfiguration(control);
  return 0;
}

int Show(const char* path) {
  platform::StderrMessageBoxes boxes(std::cerr, "VistelleDTC");
  host::DemoCatalog catalog;
  dtc::HeaderDTC control({.messageBoxes = boxes, .lifecycle = &catalog});
  std::unique_ptr<platform::PropertyBag> bag;
  try {
    bag = std::make_unique<platform::MemoryPropertyBag>(platform::ReadPropertyBagFile(path));
  } catch (const platform::Error& e) {
    if (e.Number() != platform::err::BadPropertyBag) {
      std::cerr << "dtchost: cannot read the property bag: " << e.Description() << "\n";
      return 1;
    }
    // A file that is there but holds no valid bag is the control's to report, as any load fault.
    bag = std::make_unique<platform::FailingPropertyBag>(e);
  }
  const bool loaded = control.UserControl_ReadProperties(*bag);
  std::cout << dtc::DescribeConfiguration(control);
  return loaded ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Usage();
  const std::string_view command = argv[1];
  if (command == "sample") return Sample(argv[2]);
  if (command == "show") return Show(argv[2]);
  return Usage();
}
