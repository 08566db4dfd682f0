# Writes the PNG files named bmpNNNNN.png (and their finer bmpNNNNN@2x.png) in RESOURCE_DIR into OUTPUT as
# byte arrays with a lookup by ID and scale.
file(GLOB images ${RESOURCE_DIR}/bmp*.png)
list(SORT images)
set(arrays "")
set(table "")
foreach(image ${images})
    get_filename_component(file_name ${image} NAME_WE)
    if(NOT file_name MATCHES "^bmp([0-9]+)(@2x)?$")
        message(FATAL_ERROR "${image}: not named bmpNNNNN.png or bmpNNNNN@2x.png")
    endif()
    math(EXPR id "${CMAKE_MATCH_1}")
    set(scale 1)
    if(CMAKE_MATCH_2)
        set(scale 2)
    endif()
    string(REPLACE "@" "_" name ${file_name})
    file(READ ${image} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR byte_count "${hex_length} / 2")
    # 32 bytes per line keeps the generated file readable by a compiler without huge lines.
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
    string(APPEND arrays "static const unsigned char ${name}[${byte_count}] = {\n${bytes}\n};\n\n")
    string(APPEND table "    {${id}, ${scale}, ${name}, sizeof(${name})},\n")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from the images in resources/ at build time; do not edit.
#include \"gui/resources.h\"

${arrays}namespace {
struct Resource {
    int id;
    int scale;
    const unsigned char* bytes;
    size_t size;
};
const Resource resources[] = {
${table}    {0, 0, nullptr, 0},
};
} // namespace

const unsigned char* findResource(int id, size_t* size, int scale) {
    for (const Resource& resource : resources) {
        if (resource.bytes && resource.id == id && resource.scale == scale) {
            if (size) *size = resource.size;
            return resource.bytes;
        }
    }
    if (size) *size = 0;
    return nullptr;
}
")
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
