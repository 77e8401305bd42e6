// parallaxedlambertblinn.fx - Lambert-Blinn surfaces with parallax: the height is the normal map's alpha.
@technique ParallaxedLambertBlinn

@common
@include "common.glsl"

@vertex surfaceVS
@include "surface_vertex.glsl"

@vertex shadowVS
#define VERTEX_STAGE
@include "shadow_depth.glsl"

@fragment shadowFS
@include "shadow_depth.glsl"

@fragment ambientFS
#define PARALLAX
#define AMBIENT
@include "surface_lighting.glsl"

@fragment diffuseFS
#define PARALLAX
@include "surface_lighting.glsl"

@fragment diffuseShadowFS
#define PARALLAX
#define LIGHT_SHADOW
@include "surface_lighting.glsl"

@fragment diffuseVolumeFS
#define PARALLAX
#define LIGHT_VOLUME
@include "surface_lighting.glsl"

@fragment diffuseLightCubeFS
#define PARALLAX
#define LIGHT_CUBE
@include "surface_lighting.glsl"

@sampler materialDiffuseMap
Filter = Anisotropic
@sampler materialNormalMap
Filter = Anisotropic
@sampler materialSpecularMap
Filter = Linear
@sampler materialAmbientOclusionMap
Filter = Linear
@sampler depthShadowMap
Filter = Point
MipFilter = None
Address = Clamp
@sampler lightCube
MipFilter = None
Address = Clamp

// Depth and colour of the surface lit by the sky alone.
@pass ambient
Vertex = surfaceVS
Fragment = ambientFS

// Distance to the light, into one face of the shadow cube. Both sides of
// every triangle cast shadows. Only the texels inside the scissor rectangle
// are drawn: those the renderer found some visible surface may look up.
@pass shadowDepth
Vertex = shadowVS
Fragment = shadowFS
CullMode = None
ScissorTestEnable = true

// One light added onto the ambient picture, inside the light's scissor
// rectangle.
@pass diffuse
Vertex = surfaceVS
Fragment = diffuseFS
ScissorTestEnable = true

@pass diffuseShadow
Vertex = surfaceVS
Fragment = diffuseShadowFS
ScissorTestEnable = true

@pass diffuseVolume
Vertex = surfaceVS
Fragment = diffuseVolumeFS
ScissorTestEnable = true

@pass diffuseLightCube
Vertex = surfaceVS
Fragment = diffuseLightCubeFS
ScissorTestEnable = true
