@technique t
@vertex v
void main() {}
@fragment f
void main() {}
@pass p
Vertex = v
Fragment = f
ZEnable = false
