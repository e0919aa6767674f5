// The host's side of a hosted HeaderDTC: its services, the control made by ProgID, bag files.
#include "host/ControlHost.h"

#include <ostream>

#include "platform/PropertyBagFile.h"
#include "runtime/DesignTimeControlSite.h"
#include "runtime/Error.h"

namespace host {

QueuedMessageBoxes::QueuedMessageBoxes(std::ostream& out, std::string defaultTitle)
    : lines_(out, std::move(defaultTitle)) {}

platform::MsgBoxResult QueuedMessageBoxes::Show(std::string_view prompt, std::int32_t buttons,
                                                std::string_view title) {
  lines_.Show(prompt, buttons, title);
  if (answers_.empty()) return platform::FirstButton(buttons);
  const platform::MsgBoxResult answer = answers_.front();
  answers_.pop_front();
  return answer;
}

HostServices::HostServices(std::ostream& messages)
    : registry(platform::OpenFileRegistry(platform::DefaultRegistryPath())),
      drives(platform::DrivePathsFromEnvironment()),
      files(platform::OpenHostTextFiles(*drives)),
      components(platform::OpenComponentCreator(*registry)),
      messageBoxes(messages, "VistelleDTC") {}

platform::ControlServices HostServices::ForControls() {
  return platform::ControlServices{
      .messageBoxes = boxes ? *boxes : messageBoxes,
      .container = nullptr,
      .fileDialogs = dialogs ? dialogs : &fileDialogs,
      .components = components.get(),
      .registry = registry.get(),
      .files = files.get(),
  };
}

std::unique_ptr<HostedHeaderDTC> CreateHeaderDTC(HostServices& services, std::string& error) {
  auto hosted = std::make_unique<HostedHeaderDTC>();
  const std::string progId(dtc::kHeaderDTCProgId);
  platform::HRESULT result =
      services.components->CreateInstance(progId, platform::CLSCTX_ALL, hosted->control);
  if (platform::Failed(result)) {
    error = "cannot create " + progId + ": " + platform::HResultText(result);
    return nullptr;
  }
  for (platform::HRESULT step :
       {hosted->control.As(hosted->hosted), hosted->control.As(hosted->persistence),
        hosted->control.As(hosted->designTime), hosted->control.As(hosted->runtimeText)}) {
    if (platform::Failed(step)) {
      error = progId + " lacks an interface the host needs: " + platform::HResultText(step);
      return nullptr;
    }
  }
  result = hosted->hosted->SetClientSite(services.ForControls());
  if (platform::Failed(result)) {
    error = progId + " did not start: " + platform::HResultText(result);
    return nullptr;
  }
  return hosted;
}

std::unique_ptr<platform::PropertyBag> ReadBagFile(const std::string& path, std::ostream& errors) {
  try {
    return std::make_unique<platform::MemoryPropertyBag>(platform::ReadPropertyBagFile(path));
  } catch (const platform::Error& e) {
    if (e.Number() != platform::err::BadPropertyBag) {
      errors << "dtchost: cannot read the property bag: " << e.Description() << "\n";
      return nullptr;
    }
    return std::make_unique<platform::FailingPropertyBag>(e);
  }
}

bool LoadBagFile(HostedHeaderDTC& control, const std::string& path, std::ostream& errors) {
  std::unique_ptr<platform::PropertyBag> bag = ReadBagFile(path, errors);
  return bag && platform::Succeeded(control.persistence->Load(*bag));
}

std::optional<platform::MemoryPropertyBag> SaveToBag(HostedHeaderDTC& control) {
  platform::MemoryPropertyBag bag;
  if (platform::Failed(control.persistence->Save(bag))) return std::nullopt;
  return bag;
}

bool SaveBagFile(HostedHeaderDTC& control, const std::string& path, std::ostream& errors) {
  std::optional<platform::MemoryPropertyBag> bag = SaveToBag(control);
  if (!bag) {
    errors << "dtchost: the control could not save its configuration; " << path << " is left as it was\n";
    return false;
  }
  try {
    platform::WritePropertyBagFile(path, *bag);
  } catch (const platform::Error& e) {
    errors << "dtchost: " << e.Description() << "\n";
    return false;
  }
  return true;
}

RenderResult RenderBag(HostServices& services, platform::PropertyBag& bag,
                       const std::optional<std::string>& siteBase, const std::optional<std::string>& sitePage,
                       std::ostream& errors) {
  RenderResult result;
  std::string error;
  std::unique_ptr<HostedHeaderDTC> control = CreateHeaderDTC(services, error);
  if (!control) {
    errors << "dtchost: " << error << "\n";
    return result;
  }
  result.created = true;
  result.loaded = platform::Succeeded(control->persistence->Load(bag));
  if (!result.loaded) return result;
  if (siteBase && sitePage)
    platform::IgnoreResult(
        control->designTime->put_DesignTimeControlSite(platform::MakePageLocationSite(*siteBase, *sitePage)),
        "fails only before the client site is set, and the control has just loaded");
  result.complete = control->runtimeText->GetRuntimeText(result.text) == platform::hr::S_OK;
  return result;
}

}  // namespace host
