// The checks the render thread makes when it pops a submission, made before queueing it: there
// a bad submission is dropped whole and without a word, here the script learns which cause.
using System;
using System.Runtime.InteropServices;

namespace Zerin
{
    /// <summary>Why the render thread would drop a submission (several at once are possible).</summary>
    [Flags]
    public enum SubmissionProblems
    {
        /// <summary>The render thread takes it.</summary>
        None = 0,
        /// <summary>No session is open: the plug-in queues nothing.</summary>
        NoSession = 1,
        /// <summary>More than four layers: those beyond the fourth would be dropped.</summary>
        TooManyLayers = 2,
        /// <summary>A view names no swap chain: its colour slot, or its depth slot while it has
        /// depth, is IntPtr.Zero. Every one of a layer's four views is checked, so a layer must
        /// fill all four.</summary>
        EmptyView = 4,
        /// <summary>A view names a swap chain the render thread has not made yet: its slot still
        /// reads 0 (no <see cref="RenderEvent.SwapchainRequests"/> has run since it was queued,
        /// or the runtime failed to make it).</summary>
        SlotNotMade = 8,
    }

    /// <summary>Queues submissions the render thread will take, and says why it would drop the others.</summary>
    public static class Submission
    {
        /// <summary>The most layers one submission carries.</summary>
        public const int MaxLayers = 4;

        static readonly OncePerCause reports = new OncePerCause();
        static readonly SubmissionProblems[] causes =
            { SubmissionProblems.NoSession, SubmissionProblems.TooManyLayers, SubmissionProblems.EmptyView,
              SubmissionProblems.SlotNotMade };

        /// <summary>Queues the first <paramref name="count"/> layers when the render thread would
        /// take them; otherwise queues nothing, logs each cause once (again only after it went
        /// away), and returns false.</summary>
        public static bool Queue(SubmissionLayer[] layers, int count)
        {
            string emptyAt, notMadeAt;
            SubmissionProblems problems = Check(layers, count, out emptyAt, out notMadeAt);
            foreach (SubmissionProblems cause in causes)
            {
                // "Submission not queued: " is the bindings' own text (tests match it): must not be
                // corrected.
                if ((problems & cause) == 0)
                    reports.Gone(cause.ToString());
                else
                    reports.Report(cause.ToString(), "Submission not queued: " + Describe(cause, count, emptyAt, notMadeAt));
            }
            if (problems != SubmissionProblems.None) return false;
            Native.QueueSubmission(count, layers);
            return true;
        }

        /// <summary>What the render thread would drop the submission for; nothing is queued or logged.</summary>
        public static SubmissionProblems Check(SubmissionLayer[] layers, int count)
        {
            string emptyAt, notMadeAt;
            return Check(layers, count, out emptyAt, out notMadeAt);
        }

        // The first view of each kind of problem, as "layer L view V colour|depth".
        static SubmissionProblems Check(SubmissionLayer[] layers, int count, out string emptyAt, out string notMadeAt)
        {
            if (layers == null) throw new ArgumentNullException("layers");
            if (count < 0 || count > layers.Length) throw new ArgumentOutOfRangeException("count");
            emptyAt = notMadeAt = null;
            SubmissionProblems problems = SubmissionProblems.None;
            if (Native.IsSessionNull()) problems |= SubmissionProblems.NoSession;
            if (count > MaxLayers) problems |= SubmissionProblems.TooManyLayers;
            for (int l = 0; l < Math.Min(count, MaxLayers); ++l)
            {
                for (int v = 0; v < SubmissionLayer.ViewCount; ++v)
                {
                    SubmissionView view = layers[l].GetView(v);
                    string where = "layer " + l + " view " + v + " ";
                    problems |= CheckSlot(view.ColorSlot, where + "colour", ref emptyAt, ref notMadeAt);
                    if (view.HasDepth)
                        problems |= CheckSlot(view.DepthSlot, where + "depth", ref emptyAt, ref notMadeAt);
                }
            }
            return problems;
        }

        static SubmissionProblems CheckSlot(IntPtr slot, string where, ref string emptyAt, ref string notMadeAt)
        {
            if (slot == IntPtr.Zero)
            {
                if (emptyAt == null) emptyAt = where;
                return SubmissionProblems.EmptyView;
            }
            if (Swapchain.IsSlotMade(slot)) return SubmissionProblems.None;
            if (notMadeAt == null) notMadeAt = where;
            return SubmissionProblems.SlotNotMade;
        }

        static string Describe(SubmissionProblems cause, int count, string emptyAt, string notMadeAt)
        {
            switch (cause)
            {
                case SubmissionProblems.NoSession: return "no session is open";
                case SubmissionProblems.TooManyLayers: return count + " layers, at most " + MaxLayers;
                case SubmissionProblems.EmptyView: return "a view names no swap chain (first: " + emptyAt + ")";
                default: return "a swap chain is not made yet, issue RenderEvent.SwapchainRequests first (first: " +
                                notMadeAt + ")";
            }
        }
    }
}
