@technique t
@sampler s
Filter = Bilinear
