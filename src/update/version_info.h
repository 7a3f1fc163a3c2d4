// Version information of the program file. Programs on Linux carry no version resource, so the
// texts come from the build: the file version is the four-part project version ("1.0.0.0").
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace nord5::update {

class TVersionInfo {
 public:
  // `file_name`: the program file the information describes (its name gives OriginalFilename).
  explicit TVersionInfo(const std::string& file_name);

  const std::string& CompanyName() const { return FCompanyName; }
  const std::string& FileDescription() const { return FFileDescription; }
  const std::string& FileVersion() const { return FFileVersion; }
  const std::string& InternalName() const { return FInternalName; }
  const std::string& LegalCopyright() const { return FLegalCopyright; }
  const std::string& LegalTrademarks() const { return FLegalTrademarks; }
  const std::string& OriginalFilename() const { return FOriginalFilename; }
  const std::string& ProductName() const { return FProductName; }
  const std::string& ProductVersion() const { return FProductVersion; }
  const std::string& Comments() const { return FComments; }

 private:
  std::unique_ptr<std::byte[]> FData;  // no raw block on this platform
  int FSize = 0;
  std::string FCompanyName;
  std::string FFileDescription;
  std::string FFileVersion;
  std::string FInternalName;
  std::string FLegalCopyright;
  std::string FLegalTrademarks;
  std::string FOriginalFilename;
  std::string FProductName;
  std::string FProductVersion;
  std::string FComments;
};

// The version this program was built as ("1.0.0.0").
const std::string& ProgramFileVersion();

}  // namespace nord5::update
