#pragma once

#include <QString>

namespace drivesim {

// Where the sample dump and parameter file are: beside an installed program's
// share folder, or in the sources when it runs from a build tree.
QString samplesDir();

} // namespace drivesim
