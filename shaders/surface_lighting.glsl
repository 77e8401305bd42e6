// surface_lighting.glsl - the fragment stages of Lambert-Blinn surfaces,
// plain or with parallax (PARALLAX), for the ambient pass (AMBIENT) or one
// light: plain, with its shadow cube (LIGHT_SHADOW), as a volume light with
// a glow along the view ray (LIGHT_VOLUME), or projected through the light
// cube (LIGHT_CUBE).
uniform sampler2D materialDiffuseMap;
uniform sampler2D materialNormalMap;
uniform sampler2D materialSpecularMap;
uniform sampler2D materialAmbientOclusionMap;
uniform vec4 materialNormalSwap;
#ifdef PARALLAX
uniform float bumpDepth;
uniform float textureSize;
#endif

in vec3 vWorld;
in vec2 vUV;
in vec3 vTangent;
in vec3 vBinormal;
in vec3 vNormal;
out vec4 outColor;

const float kShininess = 48.0;
const float kVolumeGlow = 0.6;

// A tangent that interpolates to (nearly) the normal's direction, or to
// nothing, would give a frame of NaNs; any direction across the normal
// serves there instead.
vec3 Across(vec3 n, vec3 v) {
    vec3 across = v - n * dot(n, v);
    if (dot(across, across) > 1e-12) return normalize(across);
    return normalize(cross(n, abs(n.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
}

mat3 TangentFrame() {
    vec3 n = normalize(vNormal);
    vec3 t = Across(n, vTangent);
    vec3 b = dot(vBinormal, vBinormal) > 1e-12 ? normalize(vBinormal) : cross(n, t);
    return mat3(t, b, n);
}

// The surface's texture coordinate: moved along the view direction by the
// height in the normal map's alpha for parallax surfaces.
vec2 SurfaceUV(mat3 frame) {
#ifdef PARALLAX
    if (textureSize > 0.0) {
        vec3 toEye = normalize(cameraPosition.xyz - vWorld);
        vec3 v = toEye * frame;  // into tangent space
        v.xy *= materialNormalSwap.xy;
        float height = texture(materialNormalMap, vUV).a - 0.5;
        return vUV + height * (bumpDepth / textureSize) * v.xy / max(v.z, 0.25);
    }
#endif
    return vUV;
}

vec3 SurfaceNormal(mat3 frame, vec2 uv) {
    vec3 t = texture(materialNormalMap, uv).xyz * 2.0 - 1.0;
    t.xy *= materialNormalSwap.xy;
    return normalize(frame * t);
}

#if defined(LIGHT_SHADOW) || defined(LIGHT_CUBE) || defined(LIGHT_VOLUME)
// 1 where the light reaches the point, 0 where something nearer to the
// light hides it; four taps soften the edge. The cube is looked up along
// the direction from the point to the light.
float Shadow(vec3 toLight, float ndl) {
    float current = length(toLight) / max(lightRadius, 1e-4);
    float bias = 0.004 + 0.012 * (1.0 - ndl);
    vec3 d = normalize(toLight);
    vec3 side = normalize(cross(d, abs(d.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
    vec3 up = cross(d, side);
    float spread = 1.5 / 512.0;
    float lit = 0.0;
    lit += step(current - bias, texture(depthShadowMap, d + (side + up) * spread).r);
    lit += step(current - bias, texture(depthShadowMap, d + (side - up) * spread).r);
    lit += step(current - bias, texture(depthShadowMap, d - (side + up) * spread).r);
    lit += step(current - bias, texture(depthShadowMap, d - (side - up) * spread).r);
    return lit * 0.25;
}
#endif

void main() {
    mat3 frame = TangentFrame();
    vec2 uv = SurfaceUV(frame);
    vec3 albedo = texture(materialDiffuseMap, uv).rgb;
#ifdef AMBIENT
    float occlusion = texture(materialAmbientOclusionMap, uv).r;
    outColor = vec4(albedo * occlusion * kAmbientLight, 1.0);
#else
    vec3 n = SurfaceNormal(frame, uv);
    vec3 toLight = lightPosition.xyz - vWorld;
    float distance = length(toLight);
    vec3 l = toLight / max(distance, 1e-4);
    float reach = clamp(1.0 - distance / max(lightRadius, 1e-4), 0.0, 1.0);
    float attenuation = reach * reach;
    float ndl = max(dot(n, l), 0.0);
    vec3 toEye = normalize(cameraPosition.xyz - vWorld);
    vec3 h = normalize(l + toEye);
    float specular = ndl > 0.0 ? pow(max(dot(n, h), 0.0), kShininess) : 0.0;
    vec3 gloss = texture(materialSpecularMap, uv).rgb;
    vec3 light = lightColor.rgb * attenuation;
#ifdef LIGHT_CUBE
    light *= texture(lightCube, -l).rgb;
#endif
    vec3 colour = light * (albedo * ndl + gloss * specular);
#if defined(LIGHT_SHADOW)
    colour *= Shadow(toLight, ndl);
#elif defined(LIGHT_CUBE) || defined(LIGHT_VOLUME)
    if (lightCastsShadow > 0.5) colour *= Shadow(toLight, ndl);
#endif
#ifdef LIGHT_VOLUME
    // In-scattering: how near the view ray passes to the light.
    vec3 ray = vWorld - cameraPosition.xyz;
    float along = length(ray);
    vec3 dir = ray / max(along, 1e-4);
    float t = clamp(dot(lightPosition.xyz - cameraPosition.xyz, dir), 0.0, along);
    float miss = length(cameraPosition.xyz + dir * t - lightPosition.xyz) / max(lightRadius, 1e-4);
    float glow = pow(clamp(1.0 - miss, 0.0, 1.0), 4.0) * (kVolumeGlow + volumeLightIntensity);
    colour += lightColor.rgb * glow;
#endif
    outColor = vec4(colour, 1.0);
#endif
}
