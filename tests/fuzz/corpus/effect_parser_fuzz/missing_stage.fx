@technique t
@vertex v
void main() {}
@pass p
Vertex = v
Fragment = nowhere
