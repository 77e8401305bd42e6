// play_driver.h - PlayDriver: who plays a prepared program.
//
// DemoProgram::Play starts the music and hands the frames to a driver when
// the run has one (RunConfig::driver): a capture sets up its outputs and
// lets the program's own loop run; the authoring mode runs a loop of its
// own with seeks and pauses. Without a driver the program runs its own
// loop. Every loop steps its frames with DemoProgram::StepFrame.
#pragma once

namespace jolp {

class DemoProgram;

class PlayDriver {
public:
    virtual ~PlayDriver() = default;
    // Whether the driver starts and stops the music itself (the program
    // then leaves it alone).
    virtual bool OwnsMusic() const { return false; }
    // Once the program is prepared and its length known, before the first
    // frame: false ends the run (the driver said why).
    virtual bool Start(DemoProgram& program) {
        (void)program;
        return true;
    }
    // Plays to the end. False when the run failed or was stopped.
    virtual bool Play(DemoProgram& program) = 0;
    // After Play, whether it succeeded or not: finishes the outputs. The
    // run's result.
    virtual bool Finish(DemoProgram& program, bool ok) {
        (void)program;
        return ok;
    }
};

}  // namespace jolp
