@technique t
@common
@include "a.glsl"
=== a.glsl
float a;
@include "b.glsl"
=== b.glsl
@include "a.glsl"
