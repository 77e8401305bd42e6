uniform float stray;
@pass p
@technique t
@vertx v
