#include "tests/support/headless_gl.h"

namespace jolp::testing {

HeadlessGl::HeadlessGl(uint32_t width, uint32_t height) {
    context = EglHeadlessContext::Create(error);
    if (context) device = GlDevice::Create(*context, width, height, error);
}

}  // namespace jolp::testing
