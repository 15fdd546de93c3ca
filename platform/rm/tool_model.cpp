// orbsaver-model: shows what the loader takes from a model file (X, glTF, OBJ, STL), renders a model as
// the saver shows it by default, or checks that an image loads as a texture.
//   orbsaver-model info FILE
//   orbsaver-model render FILE OUT.png [WIDTHxHEIGHT]
//   orbsaver-model image FILE
// Exit code 0 when the file loads, 1 when it does not (with a reason on stderr).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/files/find_entry.h"
#include "platform/rm/device.h"
#include "platform/rm/frame.h"
#include "platform/rm/light.h"
#include "platform/rm/md5.h"
#include "platform/rm/mesh_builder.h"
#include "platform/rm/offscreen.h"
#include "platform/rm/png_io.h"

namespace rm = platform::rm;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: orbsaver-model info FILE\n"
                 "       orbsaver-model render FILE OUT.png [WIDTHxHEIGHT]\n"
                 "       orbsaver-model image FILE\n");
    return 2;
}

int Fail(const std::string& why) {
    std::fprintf(stderr, "orbsaver-model: %s\n", why.c_str());
    return 1;
}

int Info(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!rm::ReadFileBytes(path, bytes, error)) return Fail(error);
    const std::string dir = platform::FolderOf(path);
    rm::MeshData probe;
    rm::ModelInfo minfo;
    rm::FolderFiles files(dir);
    if (!rm::ParseModel(bytes, files, probe, error, &minfo)) return Fail(path + ": " + error);
    probe.Clear();
    rm::Ref<rm::MeshBuilder> b = rm::Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    if (!b->LoadFromMemory(bytes, files, &error)) return Fail(path + ": " + error);
    const rm::MeshData& m = b->Mesh();
    std::printf("vertices %zu faces %zu\n", m.positions.size(), m.FaceCount());
    rm::Box box;
    b->GetBox(&box);
    std::printf("box min %g %g %g max %g %g %g\n", box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z);
    const bool x = minfo.format.rfind("X ", 0) == 0;
    std::printf("file %s%s, %d mesh%s, normals %s, %zu normal%s, vertex colours %s\n",
                x ? minfo.format.substr(2).c_str() : minfo.format.c_str(),
                x ? (" " + std::to_string(minfo.float_bits) + "-bit floats").c_str() : "", minfo.meshes,
                minfo.meshes == 1 ? "" : "es",
                m.normals_generated ? "generated" : "from the file", m.normals.size(),
                m.normals.size() == 1 ? "" : "s", m.vertex_colors.empty() ? "no" : "yes");
    std::printf("materials %zu\n", m.materials.size());
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const rm::XMaterial& mat = m.materials[i];
        std::printf("material %zu colour %g %g %g %g power %g specular %g %g %g emissive %g %g %g\n", i, mat.face[0],
                    mat.face[1], mat.face[2], mat.face[3], mat.power, mat.specular.x, mat.specular.y,
                    mat.specular.z, mat.emissive.x, mat.emissive.y, mat.emissive.z);
    }
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const std::string& name = m.materials[i].texture;
        const rm::Texture* t = b->TextureFor(uint32_t(i));
        if (name.empty()) {
            if (t) std::printf("texture %zu in the file %dx%d\n", i, t->Pixels().width, t->Pixels().height);
            continue;
        }
        if (t) {
            std::printf("texture %zu \"%s\" loaded %dx%d\n", i, name.c_str(), t->Pixels().width, t->Pixels().height);
        } else {
            const std::string found = rm::FindBesideModel(dir, name);
            std::printf("texture %zu \"%s\" %s\n", i, name.c_str(),
                        found.empty() ? "not found" : "not loaded (not a picture this program reads)");
        }
    }
    return 0;
}

int Image(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    rm::Image img;
    if (!rm::ReadFileBytes(path, bytes, error)) return Fail(error);
    if (!rm::DecodeImage(bytes, img, error)) return Fail(path + ": " + error);
    std::printf("width %d height %d\n", img.width, img.height);
    std::printf("md5 %s\n", rm::RgbMd5(img).c_str());
    return 0;
}

int Render(const std::string& path, const std::string& out, int width, int height) {
    using rm::Ref;
    Ref<rm::MeshBuilder> model = Ref<rm::MeshBuilder>::Adopt(rm::MeshBuilder::Create());
    std::string error;
    if (!model->Load(path, &error)) return Fail(path + ": " + error);
    auto context = rm::OffscreenContext::Create(&error);
    if (!context) return Fail(error);
    auto device = rm::Device::Create(width, height, &error);
    if (!device) return Fail(error);
    device->SetQuality(rm::kRenderGouraud);

    // The saver's default scene: black background, ambient 0.2, directional 0.95
    // pointing along (-30, -20, 0), camera at (0, 15, -15) looking at the model.
    Ref<rm::Frame> scene = Ref<rm::Frame>::Adopt(rm::Frame::Create(nullptr));
    Ref<rm::Frame> camera = Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
    Ref<rm::Frame> light_frame = Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
    Ref<rm::Frame> model_frame = Ref<rm::Frame>::Adopt(rm::Frame::Create(scene.get()));
    Ref<rm::Light> ambient = Ref<rm::Light>::Adopt(rm::Light::Create(rm::LightType::Ambient, 0.2f, 0.2f, 0.2f));
    Ref<rm::Light> sun = Ref<rm::Light>::Adopt(rm::Light::Create(rm::LightType::Directional, 0.95f, 0.95f, 0.95f));
    scene->AddLight(ambient.get());
    light_frame->SetOrientation(scene.get(), {-30, -20, 0}, {0, 1, 0});
    light_frame->AddLight(sun.get());
    model_frame->AddVisual(model.get());
    camera->SetPosition(scene.get(), {0, 15, -15});
    camera->LookAt(model_frame.get(), scene.get());
    Ref<rm::Viewport> view = Ref<rm::Viewport>::Adopt(rm::Viewport::Create(device.get(), camera.get(), 0, 0, width, height));
    if (!view) return Fail("cannot make the viewport");
    view->SetBack(5000);
    rm::Image picture;
    if (!view->Clear() || !view->Render(scene.get()) || !device->Update() || !device->ReadPixels(picture))
        return Fail("rendering failed");
    view.reset();
    device.reset();
    if (!rm::WritePng(out, picture, &error)) return Fail(error);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string cmd = argv[1];
    if (cmd == "info" && argc == 3) return Info(argv[2]);
    if (cmd == "image" && argc == 3) return Image(argv[2]);
    if (cmd == "render" && (argc == 4 || argc == 5)) {
        int w = 640, h = 480;
        if (argc == 5 && (std::sscanf(argv[4], "%dx%d", &w, &h) != 2 || w <= 0 || h <= 0 || w > 16384 || h > 16384))
            return Usage();
        return Render(argv[2], argv[3], w, h);
    }
    return Usage();
}
