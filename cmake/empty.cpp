// Lets a library of headers only build as a static library.
