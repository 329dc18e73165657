#include "app/qvnSystemInfo.h"

#include <QString>
#include <QSysInfo>
#include <fstream>

#include "app/qvnStatusText.h"

namespace qvn {
namespace {

std::string FirstLineOf(const char* aPath) {
  std::ifstream file(aPath);
  std::string line;
  std::getline(file, line);
  return line;
}

// A DMI text that names nothing: empty, or a placeholder the firmware was shipped with.
bool Placeholder(std::string_view aText) {
  for (std::string_view filler : {"To be filled by O.E.M.", "System Product Name",
                                  "System manufacturer", "Default string", "Not Specified"}) {
    if (aText == filler) return true;
  }
  return aText.empty();
}

}  // namespace

std::string DeviceModelFrom(std::string_view aVendor, std::string_view aProduct,
                            std::string_view aArchitecture) {
  const std::string_view vendor = Placeholder(Trimmed(aVendor)) ? "" : Trimmed(aVendor);
  const std::string_view product = Placeholder(Trimmed(aProduct)) ? "" : Trimmed(aProduct);
  if (product.empty()) return "Desktop (" + std::string(aArchitecture) + ")";
  if (vendor.empty() || product.rfind(vendor, 0) == 0) return std::string(product);
  return std::string(vendor) + " " + std::string(product);
}

std::string SystemVersionText() {
  return QSysInfo::prettyProductName().toStdString();
}

std::string DeviceModelText() {
  return DeviceModelFrom(FirstLineOf("/sys/class/dmi/id/sys_vendor"),
                         FirstLineOf("/sys/class/dmi/id/product_name"),
                         QSysInfo::currentCpuArchitecture().toStdString());
}

}  // namespace qvn
