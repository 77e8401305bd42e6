// surface_vertex.glsl - the vertex stage of scene surfaces: world position,
// texture coordinate and the tangent frame in world space. Normals go
// through the inverse matrix so that scaled objects stay lit right.
in vec3 inPosition;
in vec3 inNormal;
in vec2 inTexCoord;
in vec3 inTangent;
in vec3 inBinormal;

out vec3 vWorld;
out vec2 vUV;
out vec3 vTangent;
out vec3 vBinormal;
out vec3 vNormal;

// The ambient and light passes draw the same triangles with depth tested
// for equality: every pass must compute the very same positions.
invariant gl_Position;

void main() {
    vec4 world = vec4(inPosition, 1.0) * matObjectToWorld;
    vWorld = world.xyz;
    gl_Position = world * matWorldToView * matViewToProj;
    vUV = inTexCoord;
    vTangent = (vec4(inTangent, 0.0) * matObjectToWorld).xyz;
    vBinormal = (vec4(inBinormal, 0.0) * matObjectToWorld).xyz;
    vNormal = (matWorldToObject * vec4(inNormal, 0.0)).xyz;
}
