#include "RegistryTree.h"

#include <cstdio>
#include <cstring>

#include "WideString.h"

namespace {

// Binary values longer than this show their first bytes and the total length.
constexpr size_t kMaxBinaryBytesShown = 64;

std::u16string Units(const std::vector<BYTE>& data) {
  std::u16string units(data.size() / sizeof(WCHAR), u'\0');
  if (!units.empty()) std::memcpy(units.data(), data.data(), units.size() * sizeof(WCHAR));
  return units;
}

std::string Quote(std::u16string_view text) {
  std::string quoted(1, '"');
  quoted += WideToUtf8(text);
  quoted += '"';
  return quoted;
}

std::string ByteCount(size_t bytes) {
  std::string text(1, '(');
  text += std::to_string(bytes);
  text += " bytes)";
  return text;
}

std::string FormatString(const std::vector<BYTE>& data) {
  std::u16string units = Units(data);
  size_t nuls = 0;
  while (!units.empty() && units.back() == 0) units.pop_back(), ++nuls;
  std::string text = Quote(units);
  if (nuls != 1) text += " (" + std::to_string(nuls) + " terminating NULs)";
  if (data.size() % sizeof(WCHAR)) text += " (odd byte count)";
  return text;
}

std::string FormatMultiString(const std::vector<BYTE>& data) {
  const std::u16string units = Units(data);
  std::string text;
  size_t start = 0;
  while (start < units.size() && units[start] != 0) {
    size_t end = units.find(u'\0', start);
    if (end == std::u16string::npos) end = units.size();
    if (!text.empty()) text += ", ";
    text += Quote(std::u16string_view(units).substr(start, end - start));
    start = end + 1;
  }
  return "[" + text + "]";
}

template <typename Number>
std::string FormatNumber(const std::vector<BYTE>& data) {
  if (data.size() != sizeof(Number)) return ByteCount(data.size());
  Number number;
  std::memcpy(&number, data.data(), sizeof number);
  char text[48];
  std::snprintf(text, sizeof text, "0x%0*llX (%llu)", static_cast<int>(2 * sizeof(Number)),
                static_cast<unsigned long long>(number), static_cast<unsigned long long>(number));
  return text;
}

std::string FormatBinary(const std::vector<BYTE>& data) {
  std::string text;
  char byte[4];
  for (size_t i = 0; i < data.size() && i < kMaxBinaryBytesShown; ++i) {
    std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
    text += byte;
  }
  if (data.size() > kMaxBinaryBytesShown) text += " ...";
  return text + " " + ByteCount(data.size());
}

std::string TypeName(DWORD type) {
  switch (type) {
    case REG_NONE:
      return "REG_NONE";
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_QWORD:
      return "REG_QWORD";
    default:
      return "type " + std::to_string(type);
  }
}

std::string FormatData(const reg::Value& value) {
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return FormatString(value.data);
    case REG_MULTI_SZ:
      return FormatMultiString(value.data);
    case REG_DWORD:
      return FormatNumber<DWORD>(value.data);
    case REG_QWORD:
      return FormatNumber<ULONGLONG>(value.data);
    default:
      return FormatBinary(value.data);
  }
}

void PrintKey(std::ostream& out, HKEY root, const std::string& path, const std::string& label,
              int depth) {
  const std::string indent(2 * depth, ' ');
  out << indent << label << "\n";
  for (const reg::Value& value : reg::Values(root, path))
    out << indent << "  " << FormatRegistryValue(value) << "\n";
  for (const std::string& child : reg::SubKeyNames(root, path))
    PrintKey(out, root, path.empty() ? child : path + "\\" + child, child, depth + 1);
}

}  // namespace

std::string FormatRegistryValue(const reg::Value& value) {
  const std::string name = value.name.empty() ? "(Default)" : value.name;
  return name + "  " + TypeName(value.type) + "  " + FormatData(value);
}

bool PrintRegistryTree(std::ostream& out, HKEY root, const std::string& root_name,
                       const std::string& key_path) {
  if (!reg::KeyExists(root, key_path)) return false;
  PrintKey(out, root, key_path, key_path.empty() ? root_name : root_name + "\\" + key_path, 0);
  return true;
}
