// shadow_depth.glsl - both stages of the shadow pass: the scene seen from
// the light through one cube face, each texel keeping its distance to the
// light in units of the light's radius (cleared to 1: nothing in reach).
#ifdef VERTEX_STAGE
in vec3 inPosition;
out vec3 vWorld;
void main() {
    vec4 world = vec4(inPosition, 1.0) * matObjectToWorld;
    vWorld = world.xyz;
    gl_Position = world * matWorldToCubeFace;
}
#else
in vec3 vWorld;
out vec4 outColor;
void main() {
    float d = length(vWorld - lightPosition.xyz) / max(lightRadius, 1e-4);
    outColor = vec4(d, d, d, 1.0);
}
#endif
