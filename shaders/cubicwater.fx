// cubicwater.fx - water: two scrolling layers of the normal map ripple the
// surface, which reflects the scene cube, blended over what lies beneath.
@technique CubicWater

@common
@include "common.glsl"

@vertex surfaceVS
@include "surface_vertex.glsl"

@fragment waterFS
uniform sampler2D materialNormalMap;
uniform samplerCube sceneCubeTex;
uniform vec4 swapNormal;
uniform float time;
in vec3 vWorld;
in vec2 vUV;
in vec3 vTangent;
in vec3 vBinormal;
in vec3 vNormal;
out vec4 outColor;

const vec3 kDeepWater = vec3(0.015, 0.035, 0.05);

void main() {
    vec2 uvA = vUV * 3.0 + vec2(0.021, 0.013) * time;
    vec2 uvB = vUV * 5.3 - vec2(0.017, -0.011) * time;
    vec3 ripple = texture(materialNormalMap, uvA).xyz + texture(materialNormalMap, uvB).xyz - 1.0;
    ripple.xy *= swapNormal.xy;
    ripple.z *= 2.5;  // calm water: a gentle tilt only
    mat3 frame = mat3(normalize(vTangent), normalize(vBinormal), normalize(vNormal));
    vec3 n = normalize(frame * ripple);
    vec3 toEye = normalize(cameraPosition.xyz - vWorld);
    vec3 reflected = texture(sceneCubeTex, reflect(-toEye, n)).rgb;
    float fresnel = 0.06 + 0.94 * pow(1.0 - max(dot(n, toEye), 0.0), 5.0);
    vec3 colour = mix(kDeepWater, reflected, fresnel);
    outColor = vec4(colour, mix(0.7, 1.0, fresnel));
}

@sampler materialNormalMap
Filter = Anisotropic
@sampler sceneCubeTex
Address = Clamp

@pass water
Vertex = surfaceVS
Fragment = waterFS
ZWriteEnable = false
AlphaBlendEnable = true
SrcBlend = SrcAlpha
DestBlend = InvSrcAlpha
