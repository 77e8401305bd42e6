// Two passes, shared code through an include.
@technique lit
@common
uniform mat4 matWorldToView;
uniform mat4 matViewToProj;
@include "light.glsl"
@sampler materialDiffuseMap
Filter = Anisotropic
MipFilter = Linear
Address = Clamp  // no seams
@vertex litVS
in vec3 inPosition;
in vec2 inTexCoord;
out vec2 texCoord;
void main() {
    texCoord = inTexCoord;
    gl_Position = vec4(inPosition, 1.0) * matWorldToView * matViewToProj;
}
@fragment litFS
uniform sampler2D materialDiffuseMap;
in vec2 texCoord;
out vec4 outColor;
void main() { outColor = texture(materialDiffuseMap, texCoord) * lightColor; }
@pass ambient
Vertex = litVS
Fragment = litFS
@pass diffuse
Vertex = litVS
Fragment = litFS
AlphaBlendEnable = true
SrcBlend = One
DestBlend = One
ZWriteEnable = false
ZFunc = LessEqual
CullMode = CW
ScissorTestEnable = true
=== light.glsl
uniform vec4 lightColor;
@include "more/falloff.glsl"
=== more/falloff.glsl
float falloff(float d) { return 1.0 - d; }
