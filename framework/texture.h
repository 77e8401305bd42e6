// texture.h - texture resources: a device texture made from an image file,
// registered by file name so that materials and tracks find it by the name
// the scene uses.
//
// Image files are DDS (2D and cube maps, their mip levels, through our own
// reader), JPEG (through libjpeg: baseline and progressive, grey, colour and
// CMYK) and PNG and TGA (through stb_image), the last three given a full mip
// chain; the kind is told by the content, never by the extension. The other
// kinds stb_image knows are refused. An image's size is checked against our
// limits (16384 pixels a side, 64 million pixels) from its header, before
// anything is decoded; a JPEG file may also hold at most 100 scans and need
// at most 512 MiB to decode. A JPEG file cut short shows what decodes. A
// refusal says why, and running out of memory is said as such.
//
// A texture resource owns its device texture and releases it when
// destroyed. Directory loaders hand the resources they make to the
// registry's Keep. LoadFromMemory is the decoding itself, for bytes the
// caller holds; Load reads the file and hands its bytes to it.
#pragma once

#include "framework/resource.h"
#include "framework/resource_registry.h"
#include "platform/gfx_device.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace jolp {

class BaseTexture : public Resource {
public:
    ~BaseTexture() override;
    // The device texture; null after release.
    std::unique_ptr<GfxBaseTexture> texture;
};

class Texture2D : public BaseTexture {
public:
    ~Texture2D() override;
    // A 2D texture from an image file, or null when the file cannot be read
    // or is not a 2D image (a cube map, say), with error saying why in one
    // line naming the file. Without error, the reason is dropped.
    static std::unique_ptr<Texture2D> Load(const std::string& path, GfxDevice& device, std::string& error);
    static std::unique_ptr<Texture2D> Load(const std::string& path, GfxDevice& device);
    // The same from the bytes of such a file; name stands for the file in
    // messages only.
    static std::unique_ptr<Texture2D> LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                     GfxDevice& device, std::string& error);
    static std::unique_ptr<Texture2D> LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                     GfxDevice& device);
    GfxTexture* Get() const { return static_cast<GfxTexture*>(texture.get()); }
};

class TextureCube : public BaseTexture {
public:
    ~TextureCube() override;
    // A cube texture from a DDS cube map, or null (any other image, too).
    static std::unique_ptr<TextureCube> Load(const std::string& path, GfxDevice& device, std::string& error);
    static std::unique_ptr<TextureCube> Load(const std::string& path, GfxDevice& device);
    static std::unique_ptr<TextureCube> LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                       GfxDevice& device, std::string& error);
    static std::unique_ptr<TextureCube> LoadFromMemory(std::span<const uint8_t> bytes, const std::string& name,
                                                       GfxDevice& device);
    GfxCubeTexture* Get() const { return static_cast<GfxCubeTexture*>(texture.get()); }
};

// Every file of directory (sub-directories skipped, no extension filter),
// in the order the file system lists them, registered under its bare file
// name with AddIfAbsent: the texture, or null when the file is not an
// image of the kind (a warning naming the file and why is printed). A name
// already registered keeps its entry (the file is not loaded again). A
// directory that cannot be listed registers nothing and prints one warning
// naming it.
void LoadTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory);
void LoadCubeTextureDirectory(ResourceRegistry& registry, GfxDevice& device, const std::string& directory);

}  // namespace jolp
