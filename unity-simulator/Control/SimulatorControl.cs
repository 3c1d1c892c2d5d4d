// Drives the headset simulator from tests and editor tools: buttons, the head's pose, and waits
// for frames. The assembly compiles for the editor alone: the simulator's DLL is imported for
// the editor only, so a player would have nothing to call, and nothing of this may reach one.
using System;
using System.Runtime.InteropServices;

namespace Zerin.Simulator
{
    /// <summary>The headset simulator's controls. Every member may be called from any thread;
    /// they work while the engine bridge runs on the simulator (its runtime library is
    /// ZerinSimulator: the package's setting, or ZERIN_RUNTIME=simulator).</summary>
    public static class SimulatorControl
    {
        const string Library = "ZerinSimulator";

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        static extern void zerinsim_SetButton(long button, int down);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        static extern int zerinsim_SetHeadPose(double[] position, double[] yawPitchRoll);

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        static extern long zerinsim_LatestFrame();

        [DllImport(Library, CallingConvention = CallingConvention.Cdecl)]
        static extern int zerinsim_WaitForFrame(long frame, int timeoutMilliseconds);

        /// <summary>Presses button <paramref name="id"/> (the runtime's button id): a button event
        /// reaches the session's next event poll, and the button reads as down until released.</summary>
        public static void PressButton(long id)
        {
            zerinsim_SetButton(id, 1);
        }

        /// <summary>Releases button <paramref name="id"/>, with its event.</summary>
        public static void ReleaseButton(long id)
        {
            zerinsim_SetButton(id, 0);
        }

        /// <summary>From the next synced frame on, the head is at <paramref name="position"/>
        /// (x, y, z in metres in the runtime's axes: +x right, +y up, -z forward, not the engine's)
        /// turned by <paramref name="yawPitchRoll"/>
        /// (degrees), whatever the configuration's head motion says, until
        /// <see cref="ClearHeadPose"/>. False, with nothing changed, for a value that is not a
        /// finite number.</summary>
        public static bool SetHeadPose(double[] position, double[] yawPitchRoll)
        {
            if (position == null || position.Length != 3) throw new ArgumentException("three values: x, y, z", "position");
            if (yawPitchRoll == null || yawPitchRoll.Length != 3)
                throw new ArgumentException("three values: yaw, pitch, roll", "yawPitchRoll");
            return zerinsim_SetHeadPose(position, yawPitchRoll) != 0;
        }

        /// <summary>Gives the head back to the configuration's head motion.</summary>
        public static void ClearHeadPose()
        {
            zerinsim_SetHeadPose(null, null);
        }

        /// <summary>The runtime's index of the latest synced frame: 1 for a session's first frame
        /// sync, 0 before any.</summary>
        public static long LatestFrame
        {
            get { return zerinsim_LatestFrame(); }
        }

        /// <summary>Waits until frame <paramref name="frame"/> (or a later one) has been synced.
        /// False when <paramref name="timeout"/> ran out or the session shut down first; it never
        /// waits longer than the timeout (at most about 24 days).</summary>
        public static bool WaitForFrame(long frame, TimeSpan timeout)
        {
            double milliseconds = Math.Max(0.0, Math.Min(timeout.TotalMilliseconds, int.MaxValue));
            return zerinsim_WaitForFrame(frame, (int)milliseconds) != 0;
        }
    }
}
