// placeholder; replaced by the music generator
