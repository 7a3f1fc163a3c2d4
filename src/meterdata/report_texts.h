// The texts of the report generator and the report save dialog.
#pragma once

#include <string_view>

namespace nord5 {

inline constexpr std::string_view kTextCantOpenExcel = "Can't open MS Excel";
inline constexpr std::string_view kTextCantOpenWord = "Can't open MS Word";
inline constexpr std::string_view kTextSaveReport = "Save report";
inline constexpr std::string_view kTextReportFilter =
    "MS Excel format (*.xls)|*.xls|MS Word format (*.doc)|*.doc|HTML format (*.htm)|*.htm";
inline constexpr std::string_view kTextReportDefaultExt = "xls";
// A report that cannot be written names its file; nothing is opened then.
inline constexpr std::string_view kTextCantWriteReport = "Can't write file \"%s\"";

}  // namespace nord5
