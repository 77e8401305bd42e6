// lantern.fx - Lantern's composite: the float frame tone mapped, warmed
// towards the lantern's colour in the shadows, darkened at the corners and
// dimmed by the fade, into the picture rectangle of the back buffer.
@technique LanternComposite

@vertex placeVS
uniform vec4 viewportMin;
uniform vec4 viewportMax;
in vec3 inPosition;
in vec2 inTexCoord;
out vec2 vUV;
void main() {
    vec2 fromTopLeft = vec2(0.5 + 0.5 * inPosition.x, 0.5 - 0.5 * inPosition.y);
    vec2 at = viewportMin.xy + (viewportMax.xy - viewportMin.xy) * fromTopLeft;
    gl_Position = vec4(2.0 * at.x - 1.0, 1.0 - 2.0 * at.y, 0.0, 1.0);
    vUV = inTexCoord;
}

@fragment gradeFS
uniform sampler2D frameColorRT;
uniform float fade;
in vec2 vUV;
out vec4 outColor;
void main() {
    vec3 c = max(texture(frameColorRT, vUV).rgb, 0.0);
    c = c / (1.0 + 0.6 * c);                        // soft shoulder
    float luma = dot(c, vec3(0.299, 0.587, 0.114));
    c = mix(c, c * vec3(1.10, 0.95, 0.80), 1.0 - luma);  // warm shadows
    vec2 d = vUV - 0.5;
    c *= 1.0 - 0.8 * dot(d, d);                     // vignette
    outColor = vec4(c * clamp(fade, 0.0, 1.0), 1.0);
}

@sampler frameColorRT
Filter = Point
MipFilter = None
Address = Clamp

@pass composite
Vertex = placeVS
Fragment = gradeFS
ZEnable = false
ZWriteEnable = false
AlphaBlendEnable = false
CullMode = None
