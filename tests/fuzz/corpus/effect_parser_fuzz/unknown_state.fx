@technique t
@vertex v
void main() {}
@fragment f
void main() {}
@pass additive
Vertex = v
Fragment = f
ZEnabel = true
