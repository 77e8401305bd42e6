// common.glsl - what every material effect shares: the camera and object
// matrices (row-major, row vectors: `p * M`), the camera position, and the
// light the renderer is drawing.
uniform mat4 matObjectToWorld;
uniform mat4 matWorldToObject;
uniform mat4 matWorldToView;
uniform mat4 matViewToProj;
uniform vec4 cameraPosition;

uniform vec4 lightPosition;
uniform vec4 lightColor;
uniform float lightRadius;
uniform float volumeLightIntensity;
uniform samplerCube depthShadowMap;
uniform samplerCube lightCube;
uniform mat4 matWorldToCubeFace;
// 1 when the shadow cube holds this light's shadows (a light may cast
// shadows and be projected or glow too), else 0.
uniform float lightCastsShadow;

// Dusk sky light reaching every surface, scaled by its ambient occlusion.
const vec3 kAmbientLight = vec3(0.11, 0.12, 0.16);
