// Every text the driver shows: message boxes, status texts of column 4, output kinds.
#pragma once

#include <string_view>

namespace recast::texts {

constexpr std::string_view kCaption = "Attention";

constexpr std::string_view kFileLoaded = "File is loaded!";
constexpr std::string_view kFormatError = "File Formate error,only convert file of  .mp4 or .264!";
constexpr std::string_view kChooseFile = "Please choose file to convert !";
constexpr std::string_view kFileListError = "File list error!";
constexpr std::string_view kNoFileAdded = "Operate error ,not add file ";
constexpr std::string_view kVbrNote = "In VBR , Recast on same quality!";
constexpr std::string_view kParamError = "Para  error,please reset para !";

constexpr std::string_view kConverting = "Converting";
constexpr std::string_view kConvertSuccess = "Convert Success";
constexpr std::string_view kConvertError = "Convert Error";
constexpr std::string_view kCreateFailed = "Create Failed!";
constexpr std::string_view kParaSetError = "Para set error!";
constexpr std::string_view kHandStop = "Hand Stop";

constexpr std::string_view kConvertToWmv = "Convert To WMV";
constexpr std::string_view kConvertToAvi = "Convert To AVI";
constexpr std::string_view kConvertToMp4 = "Convert To MP4";
constexpr std::string_view kConvertToMkv = "Convert To MKV";

}  // namespace recast::texts
