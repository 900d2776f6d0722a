#pragma once

// The hidden folders that capture and import fill before they move the
// pages into place. A crash or a kill leaves them behind; they are swept
// when the project opens again, when no capture or import of it can run.

#include <string>

namespace CStaging {

constexpr char kCapturePrefix[] = ".zandrel-capture-";
constexpr char kImportPrefix[] = ".import-";

// Removes from `directory` the staging folders left there: real
// directories (not links) named by one of the prefixes and six letters or
// digits, as mkdtemp names them. The number removed.
int Sweep(const std::u16string& directory);

}  // namespace CStaging
