// master.fx - the composite: the frame's float colour target, tone mapped
// and dimmed by the fade, placed into the picture rectangle of the back
// buffer (viewportMin and viewportMax are its corners as fractions of the
// back buffer, from the top-left).
@technique Master

@vertex compositeVS
uniform vec4 viewportMin;
uniform vec4 viewportMax;
in vec3 inPosition;
in vec2 inTexCoord;
out vec2 vUV;
void main() {
    vec2 corner = vec2(inPosition.x * 0.5 + 0.5, 0.5 - inPosition.y * 0.5);  // 0..1 from the top-left
    vec2 place = mix(viewportMin.xy, viewportMax.xy, corner);
    gl_Position = vec4(place.x * 2.0 - 1.0, 1.0 - place.y * 2.0, 0.0, 1.0);
    vUV = inTexCoord;
}

@fragment compositeFS
uniform sampler2D frameColorRT;
uniform float fade;
in vec2 vUV;
out vec4 outColor;
void main() {
    vec3 c = max(texture(frameColorRT, vUV).rgb, 0.0);
    // Keeps what is below 0.8 as it is and rolls brighter light off
    // smoothly towards white instead of clipping it.
    vec3 over = max(c - 0.8, 0.0);
    c = min(c, 0.8) + 0.2 * over / (over + 0.2);
    outColor = vec4(c * clamp(fade, 0.0, 1.0), 1.0);
}

@sampler frameColorRT
Filter = Point
MipFilter = None
Address = Clamp

@pass composite
Vertex = compositeVS
Fragment = compositeFS
ZEnable = false
ZWriteEnable = false
AlphaBlendEnable = false
CullMode = None
