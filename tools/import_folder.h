// import_folder.h - an imported scene laid out as a demo's data folder:
// OUT/media/scenes/scene.JOLP3D and every texture it names under
// OUT/media/texs/.
//
// Everything is written into a hidden folder beside OUT first, each write
// checked, and moved into place only when all of it was written: a new OUT
// is that folder renamed; into an existing OUT (a copy of a demo's run
// folder, say) the textures are moved first and the scene last, replacing
// files of the same names. A failure leaves OUT as it was and removes the
// hidden folder.
#pragma once

#include "tools/gltf_import.h"

#include <string>

namespace jolp::tools {

// False with one line saying which file or folder could not be written and
// why.
bool WriteImportFolder(const GltfImport& import, const std::string& out, std::string& error);

}  // namespace jolp::tools
