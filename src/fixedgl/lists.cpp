// Immediate mode, client arrays and display lists. glBegin/glEnd and glDrawElements gather
// vertices and decompose their primitive into triangles, lines or points with the same
// triangles a classic rasteriser makes (quads split along 1-3, quad strips as (2,0,3)(0,1,3),
// polygons as fans); outside a list the batch is drawn at once, inside one it is stored with
// the list, and drawn each time the list runs. A list replays its recorded
// calls; glCallList inside a list is resolved when the list runs.
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

// The input vertex that each output vertex of the batch being assembled was taken from.
std::vector<int> takenFrom;

// Adds vertex `index` of the input to the output.
void take(const std::vector<Vertex>& in, int index, std::vector<Vertex>& out) {
    out.push_back(in[static_cast<size_t>(index)]);
    takenFrom.push_back(index);
}

void addPolygon(Batch& batch, std::initializer_list<int> corners) {
    batch.polygonStarts.push_back(static_cast<int>(batch.polygonCorners.size()));
    batch.polygonSizes.push_back(static_cast<int>(corners.size()));
    for (int c : corners)
        batch.polygonCorners.push_back(c);
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
        case Op::matrixMode:
            execMatrixMode(c.u[0]);
            break;
        case Op::loadIdentity:
            execLoadIdentity();
            break;
        case Op::pushMatrix:
            execPushMatrix();
            break;
        case Op::popMatrix:
            execPopMatrix();
            break;
        case Op::translate:
            execTranslate(c.f[0], c.f[1], c.f[2]);
            break;
        case Op::scale:
            execScale(c.f[0], c.f[1], c.f[2]);
            break;
        case Op::rotate:
            execRotate(c.f[0], c.f[1], c.f[2], c.f[3]);
            break;
        case Op::frustum:
            execFrustum(c.f[0], c.f[1], c.f[2], c.f[3], c.f[4], c.f[5]);
            break;
        case Op::viewport:
            execViewport(static_cast<GLint>(c.u[0]), static_cast<GLint>(c.u[1]),
                         static_cast<GLsizei>(c.u[2]), static_cast<GLsizei>(c.u[3]));
            break;
        case Op::enable:
            execEnable(c.u[0], true);
            break;
        case Op::disable:
            execEnable(c.u[0], false);
            break;
        case Op::blendFunc:
            execBlendFunc(c.u[0], c.u[1]);
            break;
        case Op::depthFunc:
            execDepthFunc(c.u[0]);
            break;
        case Op::polygonMode:
            execPolygonMode(c.u[0], c.u[1]);
            break;
        case Op::pointSize:
            execPointSize(c.f[0]);
            break;
        case Op::lineWidth:
            execLineWidth(c.f[0]);
            break;
        case Op::hint:
            execHint(c.u[0], c.u[1]);
            break;
        case Op::clearColor:
            execClearColor(c.f[0], c.f[1], c.f[2], c.f[3]);
            break;
        case Op::clear:
            execClear(c.u[0]);
            break;
        case Op::material:
            execMaterial(c.u[0], c.u[1], c.f);
            break;
        case Op::light:
            execLight(c.u[0], c.u[1], c.f);
            break;
        case Op::fog:
            execFog(c.u[0], c.f);
            break;
        case Op::pushAttrib:
            execPushAttrib(c.u[0]);
            break;
        case Op::popAttrib:
            execPopAttrib();
            break;
        case Op::bindTexture:
            execBindTexture(c.u[0], c.u[1]);
            break;
        case Op::texEnv:
            execTexEnv(c.u[0], c.u[1], static_cast<GLint>(c.u[2]));
            break;
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
        noteNormal(n[0], n[1], n[2]);
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

void noteNormal(float x, float y, float z) {
    if (compiling) {
        listCurrent.normal[0] = x;
        listCurrent.normal[1] = y;
        listCurrent.normal[2] = z;
        listSet |= hasNormal;
        if (insideBegin)
            pendingAttributes |= hasNormal;
        else
            compiling->commands.push_back(makeCommand(Op::setNormal, {}, {x, y, z}));
        if (!compileAndExecute)
            return;
    }
    state.current.normal[0] = x;
    state.current.normal[1] = y;
    state.current.normal[2] = z;
}

void noteColor(float r, float g, float b, float a) {
    if (compiling) {
        const float c[4] = {r, g, b, a};
        std::memcpy(listCurrent.color, c, sizeof c);
        listSet |= hasColor;
        if (insideBegin)
            pendingAttributes |= hasColor;
        else
            compiling->commands.push_back(makeCommand(Op::setColor, {}, {r, g, b, a}));
        if (!compileAndExecute)
            return;
    }
    const float c[4] = {r, g, b, a};
    std::memcpy(state.current.color, c, sizeof c);
}

void noteTexCoord(float s, float t) {
    if (compiling) {
        listCurrent.texCoord[0] = s;
        listCurrent.texCoord[1] = t;
        listSet |= hasTexCoord;
        if (insideBegin)
            pendingAttributes |= hasTexCoord;
        else
            compiling->commands.push_back(makeCommand(Op::setTexCoord, {}, {s, t}));
        if (!compileAndExecute)
            return;
    }
    state.current.texCoord[0] = s;
    state.current.texCoord[1] = t;
}

bool assembleBatch(GLenum mode, const std::vector<Vertex>& in, unsigned attributes,
                   std::vector<Vertex>& out, Batch& batch) {
    const int n = static_cast<int>(in.size());
    takenFrom.clear();
    batch.attributes = attributes;
    batch.first = static_cast<int>(out.size());
    switch (mode) {
    case FGL_POINTS:
        batch.kind = FGL_POINTS;
        for (int i = 0; i < n; ++i)
            take(in, i, out);
        break;
    case FGL_LINES:
    case FGL_LINE_STRIP:
    case FGL_LINE_LOOP:
        batch.kind = FGL_LINES;
        if (mode == FGL_LINES) {
            for (int i = 0; i + 1 < n; i += 2) {
                take(in, i, out);
                take(in, i + 1, out);
            }
        } else {
            for (int i = 0; i + 1 < n; ++i) {
                take(in, i, out);
                take(in, i + 1, out);
            }
            if (mode == FGL_LINE_LOOP && n >= 2) {
                take(in, n - 1, out);
                take(in, 0, out);
            }
        }
        break;
    default: {
        batch.kind = FGL_TRIANGLES;
        // Triangles are added in groups per polygon; corners are numbered within the batch.
        auto triangle = [&](int a, int b, int c) {
            take(in, a, out);
            take(in, b, out);
            take(in, c, out);
        };
        if (mode == FGL_TRIANGLES) {
            for (int i = 0; i + 2 < n; i += 3) {
                triangle(i, i + 1, i + 2);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_TRIANGLE_STRIP) {
            for (int i = 0; i + 2 < n; ++i) {
                if (i % 2 == 0)
                    triangle(i, i + 1, i + 2);
                else
                    triangle(i + 1, i, i + 2);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_TRIANGLE_FAN) {
            for (int i = 1; i + 1 < n; ++i) {
                triangle(0, i, i + 1);
                const int base = static_cast<int>(out.size()) - batch.first - 3;
                addPolygon(batch, {base, base + 1, base + 2});
            }
        } else if (mode == FGL_QUADS) {
            for (int i = 0; i + 3 < n; i += 4) {
                triangle(i, i + 1, i + 3);
                triangle(i + 1, i + 2, i + 3);
                const int base = static_cast<int>(out.size()) - batch.first - 6;
                // Corners 0, 1, 2, 3 of the quad: 0 and 1 of the first triangle, then 2 and 3
                // of the second.
                addPolygon(batch, {base, base + 1, base + 4, base + 5});
            }
        } else if (mode == FGL_QUAD_STRIP) {
            for (int i = 0; i + 3 < n; i += 2) {
                triangle(i + 2, i, i + 3);
                triangle(i, i + 1, i + 3);
                const int base = static_cast<int>(out.size()) - batch.first - 6;
                // The quad's corners in order: i, i + 1, i + 3, i + 2.
                addPolygon(batch, {base + 1, base + 4, base + 5, base});
            }
        } else if (mode == FGL_POLYGON) {
            if (n >= 3) {
                batch.polygonStarts.push_back(static_cast<int>(batch.polygonCorners.size()));
                batch.polygonSizes.push_back(n);
                for (int i = 0; i + 2 < n; ++i) {
                    triangle(i + 1, i + 2, 0);
                    const int base = static_cast<int>(out.size()) - batch.first - 3;
                    if (i == 0) {
                        batch.polygonCorners.push_back(base + 2);
                        batch.polygonCorners.push_back(base);
                    }
                    batch.polygonCorners.push_back(base + 1);
                }
            }
        }
        break;
    }
    }
    batch.count = static_cast<int>(out.size()) - batch.first;
    std::vector<int> firstTaken(static_cast<size_t>(n), -1);
    batch.sameAs.resize(takenFrom.size());
    for (size_t k = 0; k < takenFrom.size(); ++k) {
        int& first = firstTaken[static_cast<size_t>(takenFrom[k])];
        if (first < 0)
            first = static_cast<int>(k);
        batch.sameAs[k] = first;
    }
    return batch.count > 0;
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

void fglClear(GLbitfield mask) {
    if (recordCall(Op::clear, {mask}))
        execClear(mask);
}

} // extern "C"
