// import_folder.h - an imported scene laid out as a demo's data folder:
// OUT/media/scenes/scene.JOLP3D and every texture it names under
// OUT/media/texs/.
//
// Every file is written beside its name first (file_write.h), each write
// checked, and put in place only when all of it was written: a new OUT is
// made under a hidden name of its own and renamed; into an existing OUT (a
// copy of a demo's run folder, say) the textures are put in place first
// and the scene last, replacing files of the same names and keeping their
// permissions. A link or a device in the way is refused. A failure while
// writing leaves OUT as it was. "/" or "." is no folder to import into.
#pragma once

#include "tools/gltf_import.h"

#include <string>

namespace jolp::tools {

// False with one line saying which file or folder could not be written and
// why.
bool WriteImportFolder(const GltfImport& import, const std::string& out, std::string& error);

}  // namespace jolp::tools
