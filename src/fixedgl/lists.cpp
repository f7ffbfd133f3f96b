// Immediate mode, client arrays, the current vertex attributes and display lists. glBegin/glEnd
// and glDrawElements gather vertices, which assembly.cpp decomposes into a batch; outside a
// list the batch is drawn at once, inside one it is stored with the list, and drawn each time
// the list runs. A list replays its recorded calls (the table in lists.h); glCallList inside a
// list is resolved when the list runs.
#include "lists.h"

#include <cstring>
#include <memory>
#include <unordered_map>

namespace fgl {
namespace {

constexpr int maxListNesting = 64;

struct DisplayList {
    std::vector<Command> commands;
    std::vector<Vertex> vertices;
    std::vector<Batch> batches;
    std::vector<BatchTail> tails;
};

std::unordered_map<GLuint, std::unique_ptr<DisplayList>> displayLists;

// The list being compiled, if any.
std::unique_ptr<DisplayList> compiling;
GLuint compilingId = 0;
bool compileAndExecute = false;
// Inside a list being compiled: which attributes the list has set so far, and their values.
unsigned listSet = 0;
CurrentGroup listCurrent;

// Between glBegin and glEnd.
bool insideBegin = false;
GLenum beginMode = FGL_POINTS;
std::vector<Vertex> pending;
unsigned pendingAttributes = 0;

// Vertices of batches drawn outside lists, reused from call to call.
std::vector<Vertex> immediateVertices;

Command makeCommand(Op op, std::initializer_list<GLuint> u, std::initializer_list<float> f) {
    Command c{};
    c.op = op;
    int i = 0;
    for (GLuint v : u)
        c.u[i++] = v;
    i = 0;
    for (float v : f)
        c.f[i++] = v;
    return c;
}

const CurrentGroup& attributeSource() {
    return compiling ? listCurrent : state.current;
}

void addVertex(float x, float y, float z, float w) {
    const CurrentGroup& c = attributeSource();
    Vertex v{};
    v.position[0] = x;
    v.position[1] = y;
    v.position[2] = z;
    v.position[3] = w;
    std::memcpy(v.normal, c.normal, sizeof v.normal);
    std::memcpy(v.color, c.color, sizeof v.color);
    std::memcpy(v.texCoord, c.texCoord, sizeof v.texCoord);
    pending.push_back(v);
}

void executeList(GLuint id, int depth);

// Stores or draws one finished batch of `input` vertices. Vertices read from client arrays
// leave the current attributes as they were (a classic implementation keeps them so, from a
// list too); glNormal and its kind between glBegin and glEnd set them.
void finishBatch(GLenum mode, const std::vector<Vertex>& input, unsigned attributes,
                 bool fromArrays) {
    if (compiling) {
        Batch batch{};
        if (!assembleBatch(mode, input, attributes, compiling->vertices, batch))
            return;
        BatchTail tail{};
        tail.setsCurrent = !fromArrays;
        const Vertex& last = input.back();
        std::memcpy(tail.normal, last.normal, sizeof tail.normal);
        std::memcpy(tail.color, last.color, sizeof tail.color);
        std::memcpy(tail.texCoord, last.texCoord, sizeof tail.texCoord);
        compiling->batches.push_back(std::move(batch));
        compiling->tails.push_back(tail);
        const auto index = static_cast<GLuint>(compiling->batches.size() - 1);
        compiling->commands.push_back(makeCommand(Op::draw, {index}, {}));
        if (!compileAndExecute)
            return;
    }
    // Drawn now: every attribute is per vertex, taken from the current values.
    immediateVertices.clear();
    Batch batch{};
    if (assembleBatch(mode, input, hasNormal | hasColor | hasTexCoord, immediateVertices, batch))
        streamBatch(batch, immediateVertices);
}

void replay(const DisplayList& list, int depth) {
    for (const Command& c : list.commands) {
        switch (c.op) {
#define FGL_REPLAY_CASE(name, parameters, replayed)                                                \
    case Op::name:                                                                                 \
        exec::name replayed;                                                                       \
        break;
            FGL_RECORDED_CALLS(FGL_REPLAY_CASE)
#undef FGL_REPLAY_CASE
        case Op::callList:
            executeList(c.u[0], depth + 1);
            break;
        case Op::draw: {
            const Batch& batch = list.batches[c.u[0]];
            streamBatch(batch, list.vertices);
            const BatchTail& tail = list.tails[c.u[0]];
            if (!tail.setsCurrent)
                break;
            if (batch.attributes & hasNormal)
                std::memcpy(state.current.normal, tail.normal, sizeof tail.normal);
            if (batch.attributes & hasColor)
                std::memcpy(state.current.color, tail.color, sizeof tail.color);
            if (batch.attributes & hasTexCoord)
                std::memcpy(state.current.texCoord, tail.texCoord, sizeof tail.texCoord);
            break;
        }
        case Op::setNormal:
            std::memcpy(state.current.normal, c.f, sizeof state.current.normal);
            break;
        case Op::setColor:
            std::memcpy(state.current.color, c.f, sizeof state.current.color);
            break;
        case Op::setTexCoord:
            std::memcpy(state.current.texCoord, c.f, sizeof state.current.texCoord);
            break;
        }
    }
}

void executeList(GLuint id, int depth) {
    if (depth >= maxListNesting)
        return;
    const auto found = displayLists.find(id);
    if (found == displayLists.end())
        return;
    replay(*found->second, depth);
}

// Sets a current vertex attribute (the normal, colour or texture coordinate: `member`, its
// bit and the op that records it outside glBegin/glEnd) to `values`. While a list is compiled
// the value is the list's own: recorded, or inside glBegin/glEnd kept with the vertices that
// follow; it is set at once unless the list is only compiled.
template <size_t n>
void noteCurrent(float (CurrentGroup::*member)[n], unsigned bit, Op op, const float (&values)[n]) {
    if (compiling) {
        std::memcpy(listCurrent.*member, values, sizeof values);
        listSet |= bit;
        if (insideBegin) {
            pendingAttributes |= bit;
        } else {
            Command c{};
            c.op = op;
            std::memcpy(c.f, values, sizeof values);
            compiling->commands.push_back(c);
        }
        if (!compileAndExecute)
            return;
    }
    std::memcpy(state.current.*member, values, sizeof values);
}

// Reads vertex `index` of the enabled client arrays.
void readArrays(GLuint index) {
    const ClientArray& va = client.vertex;
    const size_t vertexStride = va.stride != 0 ? static_cast<size_t>(va.stride)
                                               : sizeof(float) * static_cast<size_t>(va.size);
    const auto* p = reinterpret_cast<const float*>(static_cast<const unsigned char*>(va.pointer) +
                                                   vertexStride * index);
    if (client.normal.enabled && client.normal.pointer != nullptr) {
        const size_t normalStride = client.normal.stride != 0
                                        ? static_cast<size_t>(client.normal.stride)
                                        : sizeof(float) * 3;
        const auto* n = reinterpret_cast<const float*>(
            static_cast<const unsigned char*>(client.normal.pointer) + normalStride * index);
        noteCurrent(&CurrentGroup::normal, hasNormal, Op::setNormal, {n[0], n[1], n[2]});
    }
    addVertex(p[0], p[1], va.size > 2 ? p[2] : 0.0f, va.size > 3 ? p[3] : 1.0f);
}

bool validMode(GLenum mode) {
    return mode <= FGL_POLYGON;
}

} // namespace

bool recordCall(Op op, std::initializer_list<GLuint> u, std::initializer_list<float> f) {
    if (insideBegin) {
        setError(FGL_INVALID_OPERATION);
        return false;
    }
    if (!compiling)
        return true;
    compiling->commands.push_back(makeCommand(op, u, f));
    return compileAndExecute;
}

bool insideBeginEnd() {
    return insideBegin;
}

} // namespace fgl

using namespace fgl;

extern "C" {

void fglBegin(GLenum mode) {
    if (insideBegin) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    if (!validMode(mode)) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    insideBegin = true;
    beginMode = mode;
    pending.clear();
    pendingAttributes = compiling ? listSet : 0u;
}

void fglEnd() {
    if (!insideBegin) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    insideBegin = false;
    if (!pending.empty())
        finishBatch(beginMode, pending, pendingAttributes, false);
}

void fglNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    noteCurrent(&CurrentGroup::normal, hasNormal, Op::setNormal, {x, y, z});
}

void fglColor4f(GLfloat red, GLfloat green, GLfloat blue, GLfloat alpha) {
    noteCurrent(&CurrentGroup::color, hasColor, Op::setColor, {red, green, blue, alpha});
}

void fglTexCoord2f(GLfloat s, GLfloat t) {
    noteCurrent(&CurrentGroup::texCoord, hasTexCoord, Op::setTexCoord, {s, t});
}

void fglVertex2f(GLfloat x, GLfloat y) {
    if (insideBegin)
        addVertex(x, y, 0.0f, 1.0f);
}

void fglVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    if (insideBegin)
        addVertex(x, y, z, 1.0f);
}

void fglDrawElements(GLenum mode, GLsizei count, GLenum type, const GLvoid* indices) {
    if (insideBegin) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    if (count < 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (!validMode(mode) ||
        (type != FGL_UNSIGNED_BYTE && type != FGL_UNSIGNED_SHORT && type != FGL_UNSIGNED_INT)) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    if (!client.vertex.enabled || client.vertex.pointer == nullptr || count == 0)
        return;
    // The arrays are read now, as glArrayElement would between glBegin and glEnd; outside a
    // list the current attributes are put back afterwards.
    const CurrentGroup saved = state.current;
    insideBegin = true;
    pending.clear();
    pendingAttributes = compiling ? listSet : 0u;
    for (GLsizei i = 0; i < count; ++i) {
        GLuint index = 0;
        if (type == FGL_UNSIGNED_BYTE)
            index = static_cast<const GLubyte*>(indices)[i];
        else if (type == FGL_UNSIGNED_SHORT)
            index = static_cast<const GLushort*>(indices)[i];
        else
            index = static_cast<const GLuint*>(indices)[i];
        readArrays(index);
    }
    insideBegin = false;
    state.current = saved;
    finishBatch(mode, pending, pendingAttributes, true);
}

void fglNewList(GLuint list, GLenum mode) {
    if (insideBegin || compiling) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    if (list == 0) {
        setError(FGL_INVALID_VALUE);
        return;
    }
    if (mode != FGL_COMPILE && mode != FGL_COMPILE_AND_EXECUTE) {
        setError(FGL_INVALID_ENUM);
        return;
    }
    compiling = std::make_unique<DisplayList>();
    compilingId = list;
    compileAndExecute = mode == FGL_COMPILE_AND_EXECUTE;
    listSet = 0;
    listCurrent = state.current;
}

void fglEndList() {
    if (insideBegin || !compiling) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    displayLists[compilingId] = std::move(compiling);
    compiling.reset();
    compileAndExecute = false;
}

void fglCallList(GLuint list) {
    if (insideBegin) {
        setError(FGL_INVALID_OPERATION);
        return;
    }
    if (compiling) {
        compiling->commands.push_back(makeCommand(Op::callList, {list}, {}));
        if (!compileAndExecute)
            return;
    }
    executeList(list, 0);
}

} // extern "C"
