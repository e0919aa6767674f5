// dtchost: the page-editor host. It creates HeaderDTC the way a page editor does, hands it a
// property bag to load or save, and shows what the control holds. Message boxes go to standard
// error, one line each.
//
//   dtchost sample OUT.json   build the sample configuration, save it to OUT.json, print it
//   dtchost show BAG.json     load BAG.json into a new control and print its configuration
//   dtchost render BAG.json [--site-base B --site-page D]
//                             load BAG.json into a new control, hand it a site built from the two
//                             locations when both are given, and write its run-time text to
//                             standard output byte for byte. The install directory comes from the
//                             registry file ($TESSERY_REGISTRY), drive letters from $TESSERY_DRIVE_C...
//
// Exit status: 0 done; 1 the bag could not be read or written, or the control reported an error
// while loading or saving; 2 usage; 3 (render) an error ended the control's request, so the text
// written is only what the control had when it stopped.
#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dtc/ConfigurationDump.h"
#include "dtc/HeaderDTC.h"
#include "host/DemoConfiguration.h"
#include "platform/DesignTimeControlSite.h"
#include "platform/DrivePaths.h"
#include "platform/MessageBox.h"
#include "platform/PropertyBag.h"
#include "platform/Registry.h"
#include "platform/TextFiles.h"

namespace {

int Usage() {
  std::cerr << "usage: dtchost sample OUT.json\n"
               "       dtchost show BAG.json\n"
               "       dtchost render BAG.json [--site-base B --site-page D]\n";
  return 2;
}

// The bag stored in `path`, or none after a message when the file cannot be read. A file that is
// there but holds no valid bag becomes a bag that fails every read, so that the control's load
// reports it its own way, as any load fault.
std::unique_ptr<platform::PropertyBag> OpenBag(const char* path) {
  try {
    return std::make_unique<platform::MemoryPropertyBag>(platform::ReadPropertyBagFile(path));
  } catch (const platform::Error& e) {
    if (e.Number() != platform::err::BadPropertyBag) {
      std::cerr << "dtchost: cannot read the property bag: " << e.Description() << "\n";
      return nullptr;
    }
    return std::make_unique<platform::FailingPropertyBag>(e);
  }
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
  const std::unique_ptr<platform::PropertyBag> bag = OpenBag(path);
  if (!bag) return 1;
  const bool loaded = control.UserControl_ReadProperties(*bag);
  std::cout << dtc::DescribeConfiguration(control);
  return loaded ? 0 : 1;
}

// The product's data-provider catalog as render stands in for it: the demo providers and the
// providers the page itself names, so that load can select a page's provider whatever
// installation the page was designed on.
class PageCatalog : public host::DemoCatalog {
 public:
  explicit PageCatalog(platform::PropertyBag& bag) {
    for (const char* name : {"DataProvider", "LinkedDataProvider"}) {
      try {
        std::string provider = bag.ReadProperty(name, platform::Variant("")).ToString();
        if (!provider.empty()) pageProviders_.push_back(std::move(provider));
      } catch (const platform::Error&) {
        // A bag that cannot be read is reported by the control's load.
      }
    }
  }

  void PrepareGeneralTab(dtc::HeaderDTC& control) override {
    dtc::EditorForm& ui = control.Editor();
    const bool filled = ui.DataProvidersCombo.ListCount() > 0;
    host::DemoCatalog::PrepareGeneralTab(control);
    if (filled) return;
    for (const std::string& provider : pageProviders_) {
      const auto& offered = ui.DataProvidersCombo.Items();
      if (std::find(offered.begin(), offered.end(), provider) != offered.end()) continue;
      ui.DataProvidersCombo.AddItem(provider);
      ui.DRAV.LinkedDataProvidersCombo.AddItem(provider);
      ui.EAI.LinkedDataProvidersCombo.AddItem(provider);
    }
  }

 private:
  std::vector<std::string> pageProviders_;
};

struct RenderOptions {
  const char* bag = nullptr;
  std::optional<std::string> siteBase;
  std::optional<std::string> sitePage;
};

// BAG.json, then the two site options in either order, each at most once; both or neither.
std::optional<RenderOptions> ParseRender(int argc, char** argv) {
  RenderOptions options;
  options.bag = argv[2];
  for (int i = 3; i < argc; i += 2) {
    const std::string_view option = argv[i];
    std::optional<std::string>* target = nullptr;
    if (option == "--site-base") target = &options.siteBase;
    if (option == "--site-page") target = &options.sitePage;
    if (target == nullptr || target->has_value() || i + 1 >= argc) return std::nullopt;
    *target = argv[i + 1];
  }
  if (options.siteBase.has_value() != options.sitePage.has_value()) return std::nullopt;
  return options;
}

int Render(const RenderOptions& options) {
  platform::StderrMessageBoxes boxes(std::cerr, "VistelleDTC");
  const std::unique_ptr<platform::PropertyBag> bag = OpenBag(options.bag);
  if (!bag) return 1;

  const std::unique_ptr<platform::Registry> registry =
      platform::OpenFileRegistry(platform::DefaultRegistryPath());
  const std::unique_ptr<platform::DrivePaths> drives = platform::DrivePathsFromEnvironment();
  const std::unique_ptr<platform::TextFiles> files = platform::OpenHostTextFiles(*drives);
  PageCatalog catalog(*bag);
  dtc::HeaderDTC control(
      {.messageBoxes = boxes, .lifecycle = &catalog, .registry = registry.get(), .files = files.get()});
  if (!control.UserControl_ReadProperties(*bag)) {
    std::cerr << "dtchost: the control could not load " << options.bag << "; no text produced\n";
    return 1;
  }
  if (options.siteBase)
    control.SetDesignTimeControlSite(platform::MakePageLocationSite(*options.siteBase, *options.sitePage));

  std::string text;
  const bool complete = control.GetRuntimeText(text);
  std::cout.write(text.data(), static_cast<std::streamsize>(text.size()));
  std::cout.flush();
  if (!complete) {
    std::cerr << "dtchost: an error ended the control's request; the text written is incomplete\n";
    return 3;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string_view command = argv[1];
  if (command == "render") {
    const std::optional<RenderOptions> options = ParseRender(argc, argv);
    return options ? Render(*options) : Usage();
  }
  if (argc != 3) return Usage();
  if (command == "sample") return Sample(argv[2]);
  if (command == "show") return Show(argv[2]);
  return Usage();
}
