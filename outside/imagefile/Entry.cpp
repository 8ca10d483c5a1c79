// The library's one entry point: checks each block, finds the picture by its file
// id and runs the command. Every block is checked before it is touched; no
// exception leaves the library.
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "outside/imagefile/JqFileLib.h"
#include "outside/imagefile/Picture.h"

namespace {

struct Slot {
    std::mutex lock;
    jqfl::Picture picture;
};

struct Library {
    std::mutex lock;
    std::map<uint32_t, std::shared_ptr<Slot>> files;
    uint32_t nextId = 1;
    int users = 0;
};

Library& library() {
    static Library lib;
    return lib;
}

template <typename Block>
Block* blockOf(void* p) {
    auto* b = static_cast<Block*>(p);
    return b && b->size >= sizeof(Block) ? b : nullptr;
}

std::shared_ptr<Slot> slotOf(uint32_t id) {
    Library& lib = library();
    std::lock_guard<std::mutex> g(lib.lock);
    auto it = lib.files.find(id);
    return it == lib.files.end() ? nullptr : it->second;
}

uint32_t addSlot(std::shared_ptr<Slot> slot) {
    Library& lib = library();
    std::lock_guard<std::mutex> g(lib.lock);
    const uint32_t id = lib.nextId++;
    if (lib.nextId == 0) lib.nextId = 1;
    lib.files[id] = std::move(slot);
    return id;
}

int32_t initialize(void* p) {
    if (!blockOf<JqflInitBlock>(p))
        return JQFL_BAD_PARAMETER;
    Library& lib = library();
    std::lock_guard<std::mutex> g(lib.lock);
    ++lib.users;
    return JQFL_OK;
}

int32_t terminate() {
    Library& lib = library();
    std::lock_guard<std::mutex> g(lib.lock);
    if (lib.users > 0 && --lib.users == 0)
        lib.files.clear();  // the last user is gone: nothing stays open
    return JQFL_OK;
}

int32_t openPicture(void* p) {
    auto* b = blockOf<JqflOpenBlock>(p);
    if (!b)
        return JQFL_BAD_PARAMETER;
    auto slot = std::make_shared<Slot>();
    if (!b->path) {
        slot->picture.makeNew();
    } else if (const int32_t rc = slot->picture.openFile(b->path); rc != JQFL_OK) {
        return rc;
    }
    b->fileId = addSlot(std::move(slot));
    return JQFL_OK;
}

int32_t closePicture(void* p) {
    auto* b = blockOf<JqflOpenBlock>(p);
    if (!b)
        return JQFL_BAD_PARAMETER;
    Library& lib = library();
    std::lock_guard<std::mutex> g(lib.lock);
    return lib.files.erase(b->fileId) ? JQFL_OK : JQFL_BAD_PARAMETER;
}

template <typename Block, typename Fn>
int32_t withPicture(void* p, Fn fn) {
    auto* b = blockOf<Block>(p);
    if (!b)
        return JQFL_BAD_PARAMETER;
    std::shared_ptr<Slot> slot = slotOf(b->fileId);
    if (!slot)
        return JQFL_BAD_PARAMETER;
    std::lock_guard<std::mutex> g(slot->lock);
    return fn(*b, slot->picture);
}

int32_t imageInfo(JqflImageInfoBlock& b, jqfl::Picture& pic, jqfl::View* view) {
    if (view) {
        pic.viewSize(*view, b.width, b.height);
        b.orientation = view->orientation;
    } else {
        b.width = pic.width();
        b.height = pic.height();
        b.orientation = 1;
    }
    b.depth = pic.depth();
    b.colorModel = pic.colorModel();
    return JQFL_OK;
}

int32_t tagList(JqflTagListBlock& b, jqfl::Picture& pic) {
    const auto& tags = pic.metadata().tags();
    const uint32_t total = static_cast<uint32_t>(tags.size());
    if (!b.list || b.count == 0) {
        b.count = total;
        return JQFL_OK;
    }
    uint32_t i = 0;
    for (const auto& [id, v] : tags) {
        if (i >= b.count) break;
        b.list[i++] = JqflTagEntry{id, v.type, v.count, static_cast<uint32_t>(v.bytes.size())};
    }
    b.count = i;
    return JQFL_OK;
}

int32_t getTag(JqflTagBlock& b, jqfl::Picture& pic) {
    const jqfl::TagValue* v = pic.metadata().find(b.tag);
    if (!v)
        return JQFL_NO_TAG;
    b.type = v->type;
    b.count = v->count;
    const uint32_t need = static_cast<uint32_t>(v->bytes.size());
    if (b.buffer) {
        if (b.bufferSize < need) {
            b.bufferSize = need;
            return JQFL_BAD_PARAMETER;
        }
        std::copy(v->bytes.begin(), v->bytes.end(), static_cast<uint8_t*>(b.buffer));
    }
    b.bufferSize = need;
    return JQFL_OK;
}

int32_t dispatch(uint32_t command, void* p) {
    using jqfl::Picture;
    switch (command) {
    case JQFL_INITIALIZE: return initialize(p);
    case JQFL_TERMINATE: return terminate();
    case JQFL_OPEN: return openPicture(p);
    case JQFL_CLOSE: return closePicture(p);
    case JQFL_GET_FILE_TYPE:
        return withPicture<JqflFileTypeBlock>(p, [](JqflFileTypeBlock& b, Picture& pic) {
            b.type = pic.type();
            return JQFL_OK;
        });
    case JQFL_SET_OPTIONS:
        return withPicture<JqflOptionsBlock>(p, [](JqflOptionsBlock& b, Picture& pic) {
            if (b.count > 0 && !b.entries)
                return JQFL_BAD_PARAMETER;
            // the defaults serve every other option
            for (uint32_t i = 0; i < b.count && i < 64; ++i) {
                const JqflOptionEntry& e = b.entries[i];
                if (e.size >= sizeof e && e.word[0] == JQFL_OPTION_SUB_IMAGE_SOURCE)
                    pic.setSubImageFromThumbnail(e.word[1] == 1);
            }
            return JQFL_OK;
        });
    case JQFL_GET_IMAGE_INFO:
        return withPicture<JqflImageInfoBlock>(p, [](JqflImageInfoBlock& b, Picture& pic) {
            return imageInfo(b, pic, &pic.mainView());
        });
    case JQFL_SET_IMAGE_INFO:
        return withPicture<JqflImageInfoBlock>(p, [](JqflImageInfoBlock& b, Picture& pic) {
            if (pic.isNew())
                return pic.setNewGeometry(b.width, b.height, b.depth, b.colorModel);
            return pic.setView(pic.mainView(), b.width, b.height, b.orientation);
        });
    case JQFL_GET_SUB_IMAGE_INFO:
        return withPicture<JqflImageInfoBlock>(p, [](JqflImageInfoBlock& b, Picture& pic) {
            return b.subImage != 0 ? JQFL_BAD_PARAMETER : imageInfo(b, pic, &pic.subView());
        });
    case JQFL_SET_SUB_IMAGE_INFO:
        return withPicture<JqflImageInfoBlock>(p, [](JqflImageInfoBlock& b, Picture& pic) {
            return b.subImage != 0 ? JQFL_BAD_PARAMETER : pic.setView(pic.subView(), b.width, b.height, b.orientation);
        });
    case JQFL_READ_IMAGE:
        return withPicture<JqflRectBlock>(p, [](JqflRectBlock& b, Picture& pic) {
            const JqflRectBlock rect = b;
            return pic.readRect(pic.mainView(), rect, b.bufferSize);
        });
    case JQFL_READ_SUB_IMAGE:
        return withPicture<JqflRectBlock>(p, [](JqflRectBlock& b, Picture& pic) {
            const JqflRectBlock rect = b;
            return b.subImage != 0 ? JQFL_BAD_PARAMETER : pic.readRect(pic.subView(), rect, b.bufferSize);
        });
    case JQFL_WRITE_IMAGE:
        return withPicture<JqflRectBlock>(p, [](JqflRectBlock& b, Picture& pic) {
            const JqflRectBlock rect = b;
            return pic.writeRect(rect, b.bufferSize);
        });
    case JQFL_GET_INFO_WORD:
        return JQFL_UNSUPPORTED;
    case JQFL_GET_INFO_WORDS:
        return withPicture<JqflInfoWordsBlock>(p, [](JqflInfoWordsBlock& b, Picture& pic) {
            b.word[0] = pic.width();
            b.word[1] = pic.height();
            b.word[2] = 0;
            b.word[3] = pic.colorModel();
            return JQFL_OK;
        });
    case JQFL_GET_TAG_LIST: return withPicture<JqflTagListBlock>(p, tagList);
    case JQFL_GET_TAG: return withPicture<JqflTagBlock>(p, getTag);
    case JQFL_SET_TAG:
        return withPicture<JqflTagBlock>(p, [](JqflTagBlock& b, Picture& pic) {
            return pic.metadata().set(b.tag, b.type, static_cast<const uint8_t*>(b.buffer), b.bufferSize)
                       ? JQFL_OK
                       : JQFL_BAD_PARAMETER;
        });
    case JQFL_SAVE_FILE:
        return withPicture<JqflSaveBlock>(p, [](JqflSaveBlock& b, Picture& pic) {
            return pic.save(b.format, b.option, b.path, b.progress, b.reference);
        });
    default:
        return JQFL_UNSUPPORTED;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Jqfl_Entry(uint32_t command, void* block) {
    try {
        return dispatch(command, block);
    } catch (const std::bad_alloc&) {
        return JQFL_NO_MEMORY;
    } catch (...) {
        return JQFL_CORRUPT;
    }
}
