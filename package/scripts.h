// The getpack and chkpack scripts: their lines, the check of the texts placed in them,
// and writing them as single-byte text with CR LF line ends.
#pragma once

#include "package/package_files.h"

#include <string>
#include <vector>

// Lines without their line ends; an empty string is an empty line.
std::vector<std::string> GetpackScriptLines(const std::u16string& tempDirectory,
                                            const PackageFiles& files, const FetchInputs& inputs,
                                            bool isBootloader);
std::vector<std::string> ChkpackScriptLines(const std::u16string& tempDirectory,
                                            const PackageFiles& files, const std::string& password);

// The texts the getpack script of this method and kind places into command lines must
// not be able to leave their argument there: a double quote, &, |, <, >, ^, %, a line
// break or another control character is refused (and, in the unquoted drive root, a
// blank). Empty when every text is fit, else the message to show.
std::u16string CheckGetpackTexts(const std::u16string& tempDirectory, const PackageFiles& files,
                                 const FetchInputs& inputs, bool isBootloader);

// Writes the lines, each ended by CR LF. False when the file cannot be written.
bool WriteScriptFile(const std::u16string& path, const std::vector<std::string>& lines);
