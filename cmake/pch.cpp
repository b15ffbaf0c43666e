// The translation unit that builds the precompiled headers.
