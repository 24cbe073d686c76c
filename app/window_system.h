#pragma once

// The few windowing calls that the program's logic makes, behind an interface so that tests can
// run that logic without a GLUT window (and record what it asked for).
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  virtual void PostRedisplay() = 0;
  virtual void SwapBuffers() = 0;
  virtual void FullScreen() = 0;
  virtual void ReshapeWindow(int width, int height) = 0;
};

// The calls forwarded to GLUT.
class GlutWindowSystem final : public WindowSystem {
 public:
  void PostRedisplay() override;
  void SwapBuffers() override;
  void FullScreen() override;
  void ReshapeWindow(int width, int height) override;
};
