// The translation unit that makes the test programs' shared precompiled header.
