#include "devices/output_devices.h"

OutputDevices::OutputDevices() = default;

String OutputDevices::Extension() const {
  // The filter is "description,*.ext;*.other": the first pattern after the comma.
  const std::string filter = HardcopyDevice().FileFilter().str();
  const size_t comma = filter.find(',');
  if (comma == std::string::npos) return String();
  std::string pattern = filter.substr(comma + 1, filter.find(';', comma) - comma - 1);
  const size_t dot = pattern.rfind('.');
  return String(dot == std::string::npos ? pattern : pattern.substr(dot + 1));
}

OutputDevices& TheOutputDevices() {
  static OutputDevices devices;
  return devices;
}
