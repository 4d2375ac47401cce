// The texts the mapping exports write: the netsh scripts and the batch files that run
// netsh. Every line ends in "\n" here; the files get CR LF (WithCrLf).
#pragma once

#include "tessaly/nat_mapping.h"

#include <optional>
#include <string>
#include <string_view>

namespace tessaly {

// The script that rebuilds the whole configuration from the object's lists.
std::string ExecuteScript(const MappingObject& object);

// The script that installs NAT with the library's global settings.
std::string InstallScript();

// Batch files. Each takes paths already made fit for a batch line (BatchPath).
std::string ListingBatch(const std::string& listingPath);
std::string ScriptBatch(const std::string& scriptPath);
std::string RefreshBatch(const std::string& basePath);
std::string ExecuteBatch(const std::string& scriptPath, const std::string& outputPath);

// A path as it can stand between double quotes in a batch line: "%" doubled, so the
// interpreter does not read it as a variable. Nothing for a path holding a double quote
// or a control character, which would end the quoted text or the line.
std::optional<std::string> BatchPath(std::string_view path);

std::string WithCrLf(std::string_view text);

} // namespace tessaly
