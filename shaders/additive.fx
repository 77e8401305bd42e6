// additive.fx - glowing things added onto the picture: particles (with a
// colour per vertex) and scene surfaces (white where the mesh has no
// colour), textured, never writing depth.
@technique Additive

@common
@include "common.glsl"
uniform sampler2D diffuseTex;

@vertex additiveVS
in vec3 inPosition;
in vec2 inTexCoord;
in vec4 inColor;
out vec2 vUV;
out vec4 vColour;
void main() {
    gl_Position = vec4(inPosition, 1.0) * matObjectToWorld * matWorldToView * matViewToProj;
    vUV = inTexCoord;
    vColour = inColor;
}

@fragment additiveFS
in vec2 vUV;
in vec4 vColour;
out vec4 outColor;
void main() {
    vec4 texel = texture(diffuseTex, vUV);
    outColor = vec4(texel.rgb * texel.a * vColour.rgb * vColour.a, 1.0);
}

@sampler diffuseTex
Address = Wrap

@pass additive
Vertex = additiveVS
Fragment = additiveFS
CullMode = None
ZWriteEnable = false
AlphaBlendEnable = true
SrcBlend = One
DestBlend = One
