@technique t
@common
@include "lib/a.glsl"
@include "/fx/lib/a.glsl"
@vertex v
void main() {}
@fragment f
void main() {}
@pass p
Vertex = v
Fragment = f
=== lib/a.glsl
float a;
@include "../../fx/lib/b.glsl"
@include "../../outside.glsl"
=== lib/b.glsl
float b;
