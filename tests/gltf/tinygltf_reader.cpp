// The one translation unit that compiles tinygltf, the independent glTF
// reader the tests check the .glb files with. Its image code is left out for
// every user of the header (tests/CMakeLists.txt): the files carry no images.
#define TINYGLTF_IMPLEMENTATION
#include <tiny_gltf.h>
