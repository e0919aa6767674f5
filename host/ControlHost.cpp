#include "host/ControlHost.h"

#include <ostream>

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
      .messageBoxes = messageBoxes,
      .container = nullptr,
      .fileDialogs = &fileDialogs,
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

}  // namespace host
