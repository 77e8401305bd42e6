// background.fx - the standard background: the picture filled from
// backgroundTopColor at its top edge to backgroundBottomColor at its bottom
// edge, before the scene is drawn over it.
@technique Background

@vertex backgroundVS
in vec3 inPosition;
in vec2 inTexCoord;
out vec2 vUV;
void main() {
    gl_Position = vec4(inPosition.xy, 0.0, 1.0);
    vUV = inTexCoord;
}

@fragment backgroundFS
uniform vec4 backgroundTopColor;
uniform vec4 backgroundBottomColor;
in vec2 vUV;
out vec4 outColor;
void main() {
    outColor = vec4(mix(backgroundTopColor.rgb, backgroundBottomColor.rgb, clamp(vUV.y, 0.0, 1.0)), 1.0);
}

@pass background
Vertex = backgroundVS
Fragment = backgroundFS
ZEnable = false
ZWriteEnable = false
AlphaBlendEnable = false
CullMode = None
