// shapes.fx - the unlit discs and quads added onto the picture after the
// additive items. Each vertex carries its place inside the shape (the edge
// at 1), the colour, and the edge's softness, glow and kind (0 a disc, 1 a
// quad); shapes in the world are seen through the camera and hidden by the
// scene's surfaces, shapes in the picture come in placed already.
@technique Shapes

@common
uniform mat4 matWorldToView;
uniform mat4 matViewToProj;

@vertex worldShapesVS
in vec3 inPosition;
in vec2 inTexCoord;
in vec4 inColor;
in vec3 inTexCoord1;
out vec2 vPlace;
out vec4 vColour;
out vec3 vEdge;
void main() {
    gl_Position = vec4(inPosition, 1.0) * matWorldToView * matViewToProj;
    vPlace = inTexCoord;
    vColour = inColor;
    vEdge = inTexCoord1;
}

@vertex pictureShapesVS
in vec3 inPosition;
in vec2 inTexCoord;
in vec4 inColor;
in vec3 inTexCoord1;
out vec2 vPlace;
out vec4 vColour;
out vec3 vEdge;
void main() {
    gl_Position = vec4(inPosition.xy, 0.0, 1.0);
    vPlace = inTexCoord;
    vColour = inColor;
    vEdge = inTexCoord1;
}

@fragment shapeFS
in vec2 vPlace;
in vec4 vColour;
in vec3 vEdge;
out vec4 outColor;
void main() {
    float d = vEdge.z > 0.5 ? max(abs(vPlace.x), abs(vPlace.y)) : length(vPlace);
    // A sharp edge still fades over about a pixel, so that it is smooth.
    float inner = 1.0 - max(vEdge.x, fwidth(d));
    float body = 1.0 - smoothstep(inner, 1.0, d);
    float glow = vEdge.y;
    float halo = 0.0;
    if (glow > 0.0) {
        float beyond = clamp((d - 1.0) / glow, 0.0, 1.0);
        halo = 0.5 * (1.0 - beyond) * (1.0 - beyond);
    }
    float cover = max(body, halo);
    outColor = vec4(vColour.rgb * vColour.a * cover, 1.0);
}

@pass worldShapes
Vertex = worldShapesVS
Fragment = shapeFS
ZEnable = true
ZWriteEnable = false
AlphaBlendEnable = true
SrcBlend = One
DestBlend = One
CullMode = None

@pass pictureShapes
Vertex = pictureShapesVS
Fragment = shapeFS
ZEnable = false
ZWriteEnable = false
AlphaBlendEnable = true
SrcBlend = One
DestBlend = One
CullMode = None
