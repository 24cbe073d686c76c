#include "headless/brute_force_method.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

#include "app/view/camera.h"
#include "terrain/point3.h"

namespace {

void AppendTriangles(const HeightField& field, VertexId apex, VertexId left, VertexId right,
                     std::vector<uint32_t>& out) {
  const VertexId split = HypotenuseSplitVertex(left, right, field.n);
  if (split == -1) {
    const auto index = [&field](VertexId id) {
      return static_cast<uint32_t>(field.GridX(id) + field.GridY(id) * (field.N + 1));
    };
    out.push_back(index(apex));
    out.push_back(index(left));
    out.push_back(index(right));
    return;
  }
  AppendTriangles(field, split, apex, left, out);
  AppendTriangles(field, split, right, apex, out);
}

}  // namespace

std::vector<uint32_t> FinestBintreeTriangles(const HeightField& field) {
  const int n = field.n;
  const auto corner = [&field, n](int x, int y) { return field.Id(x << n, y << n); };
  std::vector<uint32_t> out;
  out.reserve(6 * static_cast<std::size_t>(field.N) * field.N);
  AppendTriangles(field, corner(0, 1), corner(0, 0), corner(1, 1), out);
  AppendTriangles(field, corner(1, 0), corner(1, 1), corner(0, 0), out);
  return out;
}

BruteForceMethod::~BruteForceMethod() = default;

Status BruteForceMethod::Activate(const FrameView& /*view*/) {
  const HeightField& field = field_;
  const int side = field.N + 1;
  std::vector<Point3> vertices;
  vertices.reserve(static_cast<std::size_t>(side) * side);
  for (int y = 0; y < side; ++y)
    for (int x = 0; x < side; ++x) vertices.push_back(field.GridPosition(x, y));
  const std::vector<uint32_t> indices = FinestBintreeTriangles(field);
  indexCount_ = static_cast<int>(indices.size());

  glGenBuffers(1, &vertexBuffer_);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Point3)), vertices.data(),
               GL_STATIC_DRAW);
  glGenBuffers(1, &indexBuffer_);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(uint32_t)),
               indices.data(), GL_STATIC_DRAW);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  return {};
}

Status BruteForceMethod::Draw(const FrameView& view, FrameStats& stats) {
  LoadModelView(view.camera);
  glEnable(GL_TEXTURE_2D);
  glPolygonMode(GL_FRONT, GL_FILL);
  glDisable(GL_POLYGON_OFFSET_LINE);

  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer_);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer_);
  // As the caches do: the texture coordinates are each vertex's own x and y.
  glVertexPointer(3, GL_FLOAT, 0, nullptr);
  glTexCoordPointer(2, GL_FLOAT, sizeof(Point3), nullptr);
  glDrawElements(GL_TRIANGLES, indexCount_, GL_UNSIGNED_INT, nullptr);
  ++drawCalls_;
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);

  // Nothing is written to the GL per frame: the bytes stay as they are.
  stats.triangles += indexCount_ / 3;
  return {};
}

void BruteForceMethod::Deactivate() {
  glDeleteBuffers(1, &vertexBuffer_);
  glDeleteBuffers(1, &indexBuffer_);
  vertexBuffer_ = 0;
  indexBuffer_ = 0;
  indexCount_ = 0;
}
